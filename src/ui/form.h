// The one base of every window of the program. A form creates its controls
// as named members, binds one handler per event (BtnSuivantClick), carries
// a hint text per control for its status bar, and can be shown modally with
// a modal result. Messages reach the form through one static window
// procedure that binds `this` at creation and lets no exception escape.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "ui/controls.h"
#include "ui/pictures.h"

// Modal results.
constexpr int mrNone = 0;
constexpr int mrOk = IDOK;
constexpr int mrCancel = IDCANCEL;

class TForm {
 public:
  TForm() = default;
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  HWND Handle() const { return h_; }
  bool Created() const { return h_ != nullptr; }
  std::string Caption() const;

  // Shows the form modally: the other windows of the program are disabled
  // until a handler sets the modal result (Close) or the form is closed.
  int ShowModal();
  void Close(int modalResult);  // ends ShowModal with this result
  void Show();                  // modeless
  void Hide();
  bool IsModal() const { return modal_; }

  int HelpContext = 0;
  int ModalResult = mrNone;

  // The form of a window (of any window inside it), or null.
  static TForm* FromHandle(HWND window);
  // The status-bar hint of the control under the mouse; true when handled.
  void MouseOver(HWND window);
  // Hint of a control; also the text the status bar shows.
  std::string HintOf(HWND control) const;
  const Panel& HintBar() const { return hintBar_; }

 protected:
  // Creates the window: client size in pixels, centred on the screen.
  // className: the window class, for the one window that others look for
  // by class (the main window, "TPrincipal").
  bool CreateForm(HWND owner, const std::string& caption, int clientWidth, int clientHeight,
                  DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, DWORD exStyle = 0,
                  const char* className = nullptr);
  // Gives the form its menu bar, keeping the client size.
  void SetMenuBar(HMENU menu);

  using Handler = std::function<void()>;
  Button AddButton(const std::string& text, int x, int y, int w, int h, Handler click,
                   const std::string& hint = "", bool isDefault = false);
  // A button with its picture above the caption.
  Button AddPictureButton(const std::string& text, Picture picture, int x, int y, int w, int h,
                          Handler click, const std::string& hint = "");
  // A picture on its own (the wizards' left side, the splash screen).
  Control AddPicture(Picture picture, int x, int y, int w, int h);
  CheckBox AddCheckBox(const std::string& text, int x, int y, int w, int h,
                       const std::string& hint = "", Handler click = nullptr);
  RadioButton AddRadioButton(const std::string& text, int x, int y, int w, int h,
                             const std::string& hint = "", bool firstOfGroup = false,
                             Handler click = nullptr);
  Label AddLabel(const std::string& text, int x, int y, int w, int h, const std::string& hint = "");
  // A lowered panel: sunken frame, left-aligned caption. Made after the
  // controls it frames, it lies under them (the mouse finds them first).
  Panel AddPanel(const std::string& text, int x, int y, int w, int h, const std::string& hint = "");
  // A bare area under the controls made before it, which gives the hint of
  // the whole group wherever none of them is.
  Panel AddHintArea(int x, int y, int w, int h, const std::string& hint);
  GroupBox AddGroupBox(const std::string& text, int x, int y, int w, int h,
                       const std::string& hint = "");
  Edit AddEdit(const std::string& text, int x, int y, int w, int h, int maxLength,
               const std::string& hint = "");
  Memo AddMemo(int x, int y, int w, int h, bool readOnly, const std::string& hint = "");
  ListBox AddListBox(int x, int y, int w, int h, bool sorted, bool multiSelect,
                     const std::string& hint = "", Handler doubleClick = nullptr,
                     DWORD extraStyle = 0);
  // A number with arrows, which cannot be typed into; `change` runs when
  // its value changes.
  SpinEdit AddSpinEdit(int x, int y, int w, int h, const std::string& hint = "", Handler change = nullptr);
  // A drop-down list; h is the height of the open list.
  ComboBox AddComboBox(int x, int y, int w, int h, const std::string& hint = "");
  // The status bar: a lowered panel along the bottom edge; the mouse over
  // it or over the bare window clears it.
  Panel AddHintBar(int height = 22);

  void SetHint(const Control& control, const std::string& hint);
  void OnMenu(int id, Handler handler) { commands_[id] = std::move(handler); }
  // A notification of a control other than its click: LBN_SELCHANGE,
  // EN_CHANGE, CBN_SELCHANGE...
  void OnNotify(const Control& control, WORD code, Handler handler);
  void StartTimer(UINT_PTR id, UINT milliseconds, Handler tick);
  void StopTimer(UINT_PTR id);
  // Within FormActivate: true at the first activation after the form was
  // shown and when it comes back from another window of the program; false
  // when the user comes back from another program (the help viewer), so
  // that what was changed in the controls so far stays.
  bool ActivationIsNewOpening() const;
  void SetMinimumSize(int width, int height) { minWidth_ = width, minHeight_ = height; }
  void SetFont(const Control& control, HFONT font);

  // Events. The defaults do nothing; FormCloseQuery answers whether the
  // window may close.
  virtual void FormActivate() {}
  virtual void FormShow() {}
  virtual void FormHide() {}
  virtual void FormResize() {}
  virtual bool FormCloseQuery() { return true; }
  // Messages a form wants for itself (drawing of its own controls...).
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  static LRESULT CALLBACK WindowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool DrawItem(const DRAWITEMSTRUCT& item);
  HWND AddControl(const char* cls, const std::string& text, DWORD style, int x, int y, int w,
                  int h, const std::string& hint, Handler handler = nullptr, DWORD exStyle = 0);

  HWND h_ = nullptr;
  int nextId_ = 100;
  bool modal_ = false;
  Panel hintBar_;
  int defaultButton_ = 0;
  int minWidth_ = 0, minHeight_ = 0;
  bool justShown_ = false;
  HWND activatedFrom_ = nullptr;
  std::map<int, Handler> commands_;
  std::map<UINT_PTR, Handler> timers_;
  std::map<HWND, std::string> hints_;
  std::map<int, Picture> pictures_;  // owner-drawn controls by id
};

// Keyboard navigation and status-bar hints for the windows of the program;
// every message loop calls it before dispatching. True when handled.
bool PreTranslateFormMessage(MSG& msg);
// The program's main message loop; returns the exit code of WM_QUIT.
int RunMessageLoop();
// Processes the messages waiting now, without blocking.
void ProcessPendingMessages();

// The hourglass for the lifetime of the object; the normal cursor comes
// back on every path out.
class HourGlass {
 public:
  HourGlass();
  ~HourGlass();
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;
  static bool Active();

 private:
  HCURSOR previous_;
};

// The font every control uses.
HFONT DefaultFont();
// The average width of a character of a font, for lists of fixed columns.
int AverageCharacterWidth(HFONT font);
// The fixed-pitch font report texts and lists of fixed columns are shown
// in, so that their columns line up; the caller deletes it.
HFONT CreateReportFont();
