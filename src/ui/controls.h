// Thin, non-owning wrappers around the windows of controls: the few calls
// the forms make, one line each. The form that created a control owns it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

class Control {
 public:
  Control() = default;
  explicit Control(HWND h) : h_(h) {}
  HWND Handle() const { return h_; }
  int Id() const { return GetDlgCtrlID(h_); }

  std::string Text() const;
  void SetText(const std::string& text) const { SetWindowTextA(h_, text.c_str()); }
  bool Enabled() const { return IsWindowEnabled(h_) != 0; }
  void SetEnabled(bool on) const { EnableWindow(h_, on); }
  bool Visible() const { return IsWindowVisible(h_) != 0; }
  void SetVisible(bool on) const { ShowWindow(h_, on ? SW_SHOW : SW_HIDE); }
  void Move(int x, int y, int w, int h) const { MoveWindow(h_, x, y, w, h, TRUE); }
  void Focus() const { SetFocus(h_); }
  void Repaint() const { RedrawWindow(h_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

 protected:
  HWND h_ = nullptr;
};

class Button : public Control {
 public:
  using Control::Control;
  void Click() const { SendMessageA(h_, BM_CLICK, 0, 0); }
};

class CheckBox : public Button {
 public:
  using Button::Button;
  bool Checked() const { return SendMessageA(h_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void SetChecked(bool on) const { SendMessageA(h_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
};

using RadioButton = CheckBox;
using Label = Control;
// Underlines the letter after "&" in a label's text, which then moves the
// focus into the control made right after the label.
void ShowMnemonic(const Label& label);
using GroupBox = Control;
using Panel = Control;  // a lowered panel: a sunken static text

class Edit : public Control {
 public:
  using Control::Control;
  void SetLimit(int characters) const { SendMessageA(h_, EM_LIMITTEXT, characters, 0); }
  bool Modified() const { return SendMessageA(h_, EM_GETMODIFY, 0, 0) != 0; }
  void SetModified(bool on) const { SendMessageA(h_, EM_SETMODIFY, on, 0); }
};

// A multi-line edit with both scroll bars. Lines are CRLF-separated.
class Memo : public Edit {
 public:
  using Edit::Edit;
  int LineCount() const { return static_cast<int>(SendMessageA(h_, EM_GETLINECOUNT, 0, 0)); }
  void ScrollToTop() const {
    SendMessageA(h_, EM_SETSEL, 0, 0);
    SendMessageA(h_, EM_SCROLLCARET, 0, 0);
    SendMessageA(h_, WM_VSCROLL, SB_TOP, 0);
  }
};

class ListBox : public Control {
 public:
  using Control::Control;
  void Clear() const { SendMessageA(h_, LB_RESETCONTENT, 0, 0); }
  int Add(const std::string& item) const {
    return static_cast<int>(SendMessageA(h_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
  }
  int Count() const { return static_cast<int>(SendMessageA(h_, LB_GETCOUNT, 0, 0)); }
  std::string Item(int index) const;
  int Selected() const { return static_cast<int>(SendMessageA(h_, LB_GETCURSEL, 0, 0)); }
  void Select(int index) const { SendMessageA(h_, LB_SETCURSEL, index, 0); }
  // Lists where several lines can be selected.
  bool IsSelected(int index) const { return SendMessageA(h_, LB_GETSEL, index, 0) > 0; }
  void SetSelected(int index, bool on) const { SendMessageA(h_, LB_SETSEL, on, index); }
  int SelectedCount() const { return static_cast<int>(SendMessageA(h_, LB_GETSELCOUNT, 0, 0)); }
};

// A number with arrows beside it, which cannot be typed into.
class SpinEdit : public Control {
 public:
  SpinEdit() = default;
  SpinEdit(HWND edit, HWND arrows) : Control(edit), arrows_(arrows) {}
  HWND Arrows() const { return arrows_; }
  int Value() const { return static_cast<int>(SendMessageA(arrows_, UDM_GETPOS32, 0, 0)); }
  int Minimum() const;
  int Maximum() const;
  void SetRange(int minimum, int maximum) const { SendMessageA(arrows_, UDM_SETRANGE32, minimum, maximum); }
  // A value brought within the range (unless minimum and maximum are
  // equal); the box changes, and tells so, only when it differs.
  void SetValue(int value) const;

 private:
  HWND arrows_ = nullptr;
};

class ComboBox : public Control {
 public:
  using Control::Control;
  void Clear() const { SendMessageA(h_, CB_RESETCONTENT, 0, 0); }
  int Add(const std::string& item) const {
    return static_cast<int>(SendMessageA(h_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
  }
  int Count() const { return static_cast<int>(SendMessageA(h_, CB_GETCOUNT, 0, 0)); }
  std::string Item(int index) const;
  int Selected() const { return static_cast<int>(SendMessageA(h_, CB_GETCURSEL, 0, 0)); }
  void Select(int index) const { SendMessageA(h_, CB_SETCURSEL, index, 0); }
};
