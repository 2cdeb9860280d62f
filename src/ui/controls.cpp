#include "ui/controls.h"

#include <vector>

std::string Control::Text() const {
  int length = GetWindowTextLengthA(h_);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(h_, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::string ListBox::Item(int index) const {
  LRESULT length = SendMessageA(h_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return "";
  std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(h_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

std::string ComboBox::Item(int index) const {
  LRESULT length = SendMessageA(h_, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return "";
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(h_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

void ShowMnemonic(const Label& label) {
  LONG_PTR style = GetWindowLongPtrA(label.Handle(), GWL_STYLE);
  SetWindowLongPtrA(label.Handle(), GWL_STYLE, style & ~static_cast<LONG_PTR>(SS_NOPREFIX));
  InvalidateRect(label.Handle(), nullptr, TRUE);
}

int SpinEdit::Minimum() const {
  int minimum = 0, maximum = 0;
  SendMessageA(arrows_, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&minimum), reinterpret_cast<LPARAM>(&maximum));
  return minimum;
}

int SpinEdit::Maximum() const {
  int minimum = 0, maximum = 0;
  SendMessageA(arrows_, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&minimum), reinterpret_cast<LPARAM>(&maximum));
  return maximum;
}

void SpinEdit::SetValue(int value) const {
  const int minimum = Minimum(), maximum = Maximum();
  if (minimum != maximum) value = value < minimum ? minimum : value > maximum ? maximum : value;
  if (value == Value() && Text() == std::to_string(value)) return;
  SendMessageA(arrows_, UDM_SETPOS32, 0, value);
}
