#include "ui/form.h"

#include <commctrl.h>

#include "ui/application.h"
#include "ui/messages.h"

#include <vector>

namespace {

constexpr const char* FormClassName = "TPivaluneForm";
int BusyDepth = 0;

constexpr const char* FormProperty = "PivaluneForm";

void RegisterFormClass(WNDPROC windowProc, const char* name) {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(GetModuleHandleA(nullptr), name, &existing)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  wc.lpszClassName = name;
  wc.lpfnWndProc = windowProc;
  RegisterClassExA(&wc);
}

struct DisabledWindows {
  std::vector<HWND> windows;
  HWND except;
};

BOOL CALLBACK DisableOther(HWND window, LPARAM param) {
  auto& d = *reinterpret_cast<DisabledWindows*>(param);
  if (window != d.except && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    d.windows.push_back(window);
  }
  return TRUE;
}

}  // namespace

HFONT DefaultFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HFONT CreateReportFont() {
  HDC dc = GetDC(nullptr);
  int height = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     FIXED_PITCH | FF_MODERN, "Courier New");
}

int AverageCharacterWidth(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return metrics.tmAveCharWidth > 0 ? metrics.tmAveCharWidth : 7;
}

TForm::~TForm() {
  if (h_) {
    SetWindowLongPtrA(h_, GWLP_USERDATA, 0);
    RemovePropA(h_, FormProperty);
    DestroyWindow(h_);
  }
}

void TForm::SetMenuBar(HMENU menu) {
  RECT client;
  GetClientRect(h_, &client);
  SetMenu(h_, menu);
  RECT r = client;
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(h_, GWL_STYLE)), TRUE,
                     static_cast<DWORD>(GetWindowLongPtrA(h_, GWL_EXSTYLE)));
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(h_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string TForm::Caption() const { return Control(h_).Text(); }

TForm* TForm::FromHandle(HWND window) {
  if (!window) return nullptr;
  HWND root = GetAncestor(window, GA_ROOT);
  return root ? static_cast<TForm*>(GetPropA(root, FormProperty)) : nullptr;
}

bool TForm::CreateForm(HWND owner, const std::string& caption, int clientWidth, int clientHeight,
                       DWORD style, DWORD exStyle, const char* className) {
  if (!className) className = FormClassName;
  if (!owner) owner = ApplicationWindow();
  RegisterFormClass(&TForm::WindowProc, className);
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, style, FALSE, exStyle | WS_EX_CONTROLPARENT);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  h_ = CreateWindowExA(exStyle | WS_EX_CONTROLPARENT, className, caption.c_str(), style, x, y,
                       w, h, owner, nullptr, GetModuleHandleA(nullptr), this);
  return h_ != nullptr;  // without a display no window can be created
}

HWND TForm::AddControl(const char* cls, const std::string& text, DWORD style, int x, int y, int w,
                       int h, const std::string& hint, Handler handler, DWORD exStyle) {
  if (!h_) return nullptr;
  int id = nextId_++;
  HWND c = CreateWindowExA(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, h_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
  SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  if (handler) commands_[id] = std::move(handler);
  if (!hint.empty()) hints_[c] = hint;
  return c;
}

Button TForm::AddButton(const std::string& text, int x, int y, int w, int h, Handler click,
                        const std::string& hint, bool isDefault) {
  Button b(AddControl("BUTTON", text, WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                      x, y, w, h, hint, std::move(click)));
  if (isDefault) defaultButton_ = b.Id();
  return b;
}

Button TForm::AddPictureButton(const std::string& text, Picture picture, int x, int y, int w, int h,
                               Handler click, const std::string& hint) {
  Button b(AddControl("BUTTON", text, WS_TABSTOP | BS_OWNERDRAW, x, y, w, h, hint, std::move(click)));
  pictures_[b.Id()] = picture;
  return b;
}

Control TForm::AddPicture(Picture picture, int x, int y, int w, int h) {
  Control c(AddControl("STATIC", "", SS_OWNERDRAW, x, y, w, h, ""));
  pictures_[c.Id()] = picture;
  return c;
}

bool TForm::DrawItem(const DRAWITEMSTRUCT& item) {
  auto it = pictures_.find(static_cast<int>(item.CtlID));
  if (it == pictures_.end()) return false;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  if (item.CtlType == ODT_STATIC) {
    DrawPicture(dc, it->second, r);
    return true;
  }
  bool pushed = item.itemState & ODS_SELECTED;
  bool disabled = item.itemState & ODS_DISABLED;
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  int shift = pushed ? 1 : 0;
  RECT picture{r.left + (r.right - r.left - 24) / 2 + shift, r.top + 4 + shift, 0, 0};
  picture.right = picture.left + 24;
  picture.bottom = picture.top + 24;
  if (disabled) {
    // A disabled command shows its picture faded: drawn, then washed over.
    DrawPicture(dc, it->second, picture);
    HBRUSH wash = CreateHatchBrush(HS_DIAGCROSS, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    FillRect(dc, &picture, wash);
    DeleteObject(wash);
  } else {
    DrawPicture(dc, it->second, picture);
  }
  std::string text = Control(item.hwndItem).Text();
  RECT caption{r.left + 2 + shift, picture.bottom + 1, r.right - 2 + shift, r.bottom - 2};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  HGDIOBJ old = SelectObject(dc, DefaultFont());
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  if (extent.cx > caption.right - caption.left) {
    // A caption wider than its button is drawn in the narrower font rather
    // than cut off.
    static HFONT narrow = CreateFontA(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
    SelectObject(dc, narrow);
  }
  DrawTextA(dc, text.c_str(), -1, &caption, DT_CENTER | DT_TOP | DT_SINGLELINE);
  SelectObject(dc, old);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = r;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
  return true;
}

CheckBox TForm::AddCheckBox(const std::string& text, int x, int y, int w, int h,
                            const std::string& hint, Handler click) {
  return CheckBox(AddControl("BUTTON", text, WS_TABSTOP | BS_AUTOCHECKBOX, x, y, w, h, hint,
                             std::move(click)));
}

RadioButton TForm::AddRadioButton(const std::string& text, int x, int y, int w, int h,
                                  const std::string& hint, bool firstOfGroup, Handler click) {
  return RadioButton(AddControl("BUTTON", text,
                                WS_TABSTOP | BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP : 0), x,
                                y, w, h, hint, std::move(click)));
}

Label TForm::AddLabel(const std::string& text, int x, int y, int w, int h, const std::string& hint) {
  return Label(AddControl("STATIC", text, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, x, y, w, h, hint));
}

// Panels and hint areas lie under the controls made before them and must
// not paint over them.
Panel TForm::AddPanel(const std::string& text, int x, int y, int w, int h, const std::string& hint) {
  return Panel(AddControl("STATIC", text,
                          SS_LEFT | SS_NOPREFIX | SS_SUNKEN | SS_CENTERIMAGE | SS_NOTIFY | WS_CLIPSIBLINGS,
                          x, y, w, h, hint));
}

Panel TForm::AddHintArea(int x, int y, int w, int h, const std::string& hint) {
  return Panel(AddControl("STATIC", "", SS_LEFT | SS_NOTIFY | WS_CLIPSIBLINGS, x, y, w, h, hint));
}

GroupBox TForm::AddGroupBox(const std::string& text, int x, int y, int w, int h,
                            const std::string& hint) {
  return GroupBox(AddControl("BUTTON", text, BS_GROUPBOX, x, y, w, h, hint));
}

Edit TForm::AddEdit(const std::string& text, int x, int y, int w, int h, int maxLength,
                    const std::string& hint) {
  Edit e(AddControl("EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL, x, y, w, h, hint, nullptr,
                    WS_EX_CLIENTEDGE));
  e.SetLimit(maxLength);
  return e;
}

Memo TForm::AddMemo(int x, int y, int w, int h, bool readOnly, const std::string& hint) {
  Memo m(AddControl("EDIT", "",
                    WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL |
                        ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL | (readOnly ? ES_READONLY : 0),
                    x, y, w, h, hint, nullptr, WS_EX_CLIENTEDGE));
  m.SetLimit(0);  // as large as the control allows
  if (hint.empty()) hints_[m.Handle()] = "";
  return m;
}

ListBox TForm::AddListBox(int x, int y, int w, int h, bool sorted, bool multiSelect,
                          const std::string& hint, Handler doubleClick, DWORD extraStyle) {
  DWORD style = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                (sorted ? LBS_SORT : 0) | (multiSelect ? LBS_EXTENDEDSEL : 0) | extraStyle;
  HWND l = AddControl("LISTBOX", "", style, x, y, w, h, hint, nullptr, WS_EX_CLIENTEDGE);
  if (doubleClick) commands_[GetDlgCtrlID(l) | (LBN_DBLCLK << 16)] = std::move(doubleClick);
  return ListBox(l);
}

Panel TForm::AddHintBar(int height) {
  RECT r;
  GetClientRect(h_, &r);
  hintBar_ = Panel(AddControl("STATIC", "", SS_LEFT | SS_NOPREFIX | SS_SUNKEN | SS_CENTERIMAGE | SS_NOTIFY,
                              0, r.bottom - height, r.right, height, ""));
  return hintBar_;
}

void TForm::SetHint(const Control& control, const std::string& hint) { hints_[control.Handle()] = hint; }

void TForm::OnNotify(const Control& control, WORD code, Handler handler) {
  commands_[control.Id() | (code << 16)] = std::move(handler);
}

SpinEdit TForm::AddSpinEdit(int x, int y, int w, int h, const std::string& hint, Handler change) {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS};
    return InitCommonControlsEx(&classes) != 0;
  }();
  (void)registered;
  HWND edit = AddControl("EDIT", "0", ES_READONLY | ES_RIGHT | ES_NUMBER, x, y, w, h, hint, nullptr, WS_EX_CLIENTEDGE);
  HWND arrows = CreateWindowExA(0, UPDOWN_CLASSA, "",
                                WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                                0, 0, 0, 0, h_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)),
                                GetModuleHandleA(nullptr), nullptr);
  SendMessageA(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessageA(arrows, UDM_SETRANGE32, 0, 0);
  SendMessageA(arrows, UDM_SETPOS32, 0, 0);
  if (!hint.empty()) hints_[arrows] = hint;
  SpinEdit spin(edit, arrows);
  if (change) OnNotify(spin, EN_CHANGE, std::move(change));
  return spin;
}

ComboBox TForm::AddComboBox(int x, int y, int w, int h, const std::string& hint) {
  return ComboBox(AddControl("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, x, y, w, h,
                             hint));
}

void TForm::SetFont(const Control& control, HFONT font) {
  SendMessageA(control.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TForm::StartTimer(UINT_PTR id, UINT milliseconds, Handler tick) {
  timers_[id] = std::move(tick);
  SetTimer(h_, id, milliseconds, nullptr);
}

void TForm::StopTimer(UINT_PTR id) { KillTimer(h_, id); }

bool TForm::ActivationIsNewOpening() const { return justShown_ || FromHandle(activatedFrom_); }

std::string TForm::HintOf(HWND control) const {
  auto it = hints_.find(control);
  return it == hints_.end() ? "" : it->second;
}

void TForm::MouseOver(HWND window) {
  if (!hintBar_.Handle()) return;
  std::string text;
  if (window != h_ && window != hintBar_.Handle()) {
    auto it = hints_.find(window);
    if (it == hints_.end()) return;  // a control without a hint leaves the bar as it is
    text = it->second;
  }
  if (hintBar_.Text() != text) hintBar_.SetText(text);
}

void TForm::Show() {
  ShowWindow(h_, SW_SHOWNORMAL);
  SetForegroundWindow(h_);
}

void TForm::Hide() { ShowWindow(h_, SW_HIDE); }

void TForm::Close(int modalResult) {
  ModalResult = modalResult == mrNone ? mrCancel : modalResult;
  // A handler run by a sent message (a click sent from another thread or
  // program) runs inside GetMessage, which would go on waiting: wake the
  // modal loop so that it sees the result.
  if (modal_) PostMessageA(h_, WM_NULL, 0, 0);
  else Hide();
}

int TForm::ShowModal() {
  if (!h_) return mrCancel;
  DisabledWindows disabled{{}, h_};
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
  ModalResult = mrNone;
  modal_ = true;
  Show();
  MSG msg;
  bool quit = false;
  while (ModalResult == mrNone) {
    if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      break;
    }
    if (!PreTranslateFormMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  modal_ = false;
  for (HWND w : disabled.windows) EnableWindow(w, TRUE);
  Hide();
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return ModalResult;
}

bool TForm::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CALLBACK TForm::WindowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* form = static_cast<TForm*>(created->lpCreateParams);
    form->h_ = h;
    SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    SetPropA(h, FormProperty, form);
  }
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!form) return DefWindowProcA(h, message, wParam, lParam);
  try {
    LRESULT result = form->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(h, GWLP_USERDATA, 0);
      RemovePropA(h, FormProperty);
      form->h_ = nullptr;
    }
    return result;
  } catch (...) {
    // No exception crosses the system's window procedure; the handler that
    // raised has already reported what it could.
    return 0;
  }
}

LRESULT TForm::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnMessage(message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      int code = HIWORD(wParam);
      // Clicks are bound to the control's id, its other notifications
      // (a double click, a changed selection or text) to id and code.
      const bool isClick = !lParam || code == BN_CLICKED;
      auto it = commands_.find(isClick ? id : id | (code << 16));
      if (it != commands_.end()) {
        Handler handler = it->second;  // the handler may replace the map entry
        handler();
        return 0;
      }
      if (id == IDCANCEL && !lParam) {  // Escape
        if (FormCloseQuery()) Close(mrCancel);
        return 0;
      }
      break;
    }
    case WM_DRAWITEM:
      if (DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case DM_GETDEFID:
      return defaultButton_ ? MAKELRESULT(defaultButton_, DC_HASDEFID) : 0;
    case WM_TIMER: {
      auto it = timers_.find(wParam);
      if (it != timers_.end()) {
        Handler tick = it->second;
        tick();
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        activatedFrom_ = reinterpret_cast<HWND>(lParam);
        FormActivate();
        justShown_ = false;
      }
      break;
    case WM_SHOWWINDOW:
      if (wParam) {
        justShown_ = true;
        FormShow();
      } else {
        FormHide();
      }
      break;
    case WM_HELP:
      // F1 opens the help at the window's context.
      if (!HelpContext) break;
      ShowHelp(h_, HelpContext);
      return TRUE;
    case WM_SIZE:
      FormResize();
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (minWidth_) info->ptMinTrackSize.x = minWidth_;
      if (minHeight_) info->ptMinTrackSize.y = minHeight_;
      return 0;
    }
    case WM_SETCURSOR:
      if (HourGlass::Active()) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      if (FormCloseQuery()) {
        if (modal_) Close(mrCancel);
        else Hide();
      }
      return 0;
  }
  return DefWindowProcA(h_, message, wParam, lParam);
}

bool PreTranslateFormMessage(MSG& msg) {
  if (msg.message == WM_MOUSEMOVE)
    if (TForm* form = TForm::FromHandle(msg.hwnd)) form->MouseOver(msg.hwnd);
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  return root && TForm::FromHandle(root) && IsDialogMessageA(root, &msg);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!PreTranslateFormMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

void ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!PreTranslateFormMessage(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

HourGlass::HourGlass() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) { ++BusyDepth; }
HourGlass::~HourGlass() {
  --BusyDepth;
  SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, IDC_ARROW));
}
bool HourGlass::Active() { return BusyDepth > 0; }
