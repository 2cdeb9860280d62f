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
