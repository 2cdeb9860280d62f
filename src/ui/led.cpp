#include "ui/led.h"

#include <algorithm>
#include <utility>

namespace {

constexpr const char* ClassName = "TLED";

void RegisterClassOnce(WNDPROC procedure) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = ClassName;
  registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// One bevel of `width` pixels drawn inward, and the area left inside it.
void DrawBevel(HDC dc, RECT& area, TBevel bevel, int width) {
  if (bevel == bvNone) return;
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF topLeft = bevel == bvRaised ? light : dark, bottomRight = bevel == bvRaised ? dark : light;
  for (int i = 0; i < width; ++i) {
    HBRUSH tl = CreateSolidBrush(topLeft), br = CreateSolidBrush(bottomRight);
    RECT top{area.left, area.top, area.right, area.top + 1}, left{area.left, area.top, area.left + 1, area.bottom};
    RECT bottom{area.left, area.bottom - 1, area.right, area.bottom}, right{area.right - 1, area.top, area.right, area.bottom};
    FillRect(dc, &top, tl);
    FillRect(dc, &left, tl);
    FillRect(dc, &bottom, br);
    FillRect(dc, &right, br);
    DeleteObject(tl);
    DeleteObject(br);
    InflateRect(&area, -1, -1);
  }
}

}  // namespace

TLED::TLED(HWND parent, int x, int y, int w, int h) {
  RegisterClassOnce(WindowProc);
  h_ = CreateWindowExA(0, ClassName, "", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr,
                       GetModuleHandleA(nullptr), nullptr);
  Bind();
}

TLED& TLED::operator=(TLED&& other) noexcept {
  if (this == &other) return *this;
  if (h_) DestroyWindow(h_);
  h_ = std::exchange(other.h_, nullptr);
  color_ = other.color_, on_ = other.on_, type_ = other.type_;
  outer_ = other.outer_, inner_ = other.inner_, bevelWidth_ = other.bevelWidth_, background_ = other.background_;
  Bind();
  return *this;
}

TLED::~TLED() {
  // The parent may have destroyed the window already; then it is gone.
  if (h_ && IsWindow(h_)) SetWindowLongPtrA(h_, GWLP_USERDATA, 0);
}

// The window finds its object through its user data, set again when the
// object moves.
void TLED::Bind() {
  if (h_) SetWindowLongPtrA(h_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

COLORREF TLED::ShownColour() const {
  switch (color_) {
    case lcRed: return on_ ? RGB(255, 0, 0) : RGB(128, 0, 0);
    case lcGreen: return on_ ? RGB(0, 255, 0) : RGB(0, 128, 0);
    case lcBlue: return on_ ? RGB(0, 0, 255) : RGB(0, 0, 128);
    case lcYellow: return on_ ? RGB(255, 255, 0) : RGB(128, 128, 0);
    default: return GetSysColor(COLOR_BTNFACE);
  }
}

void TLED::Changed() const {
  if (h_) InvalidateRect(h_, nullptr, TRUE);
}

void TLED::Paint(HDC dc, RECT area) const {
  HBRUSH back = CreateSolidBrush(background_);
  FillRect(dc, &area, back);
  DeleteObject(back);
  DrawBevel(dc, area, outer_, bevelWidth_);
  DrawBevel(dc, area, inner_, bevelWidth_);
  HBRUSH shade = CreateSolidBrush(ShownColour());
  if (type_ == ltRect) {
    FillRect(dc, &area, shade);
  } else {
    // The largest disc the area holds, centred, with a grey rim.
    const int size = std::min(area.right - area.left, area.bottom - area.top);
    const int x = (area.left + area.right - size) / 2, y = (area.top + area.bottom - size) / 2;
    HPEN rim = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HGDIOBJ oldPen = SelectObject(dc, rim), oldBrush = SelectObject(dc, shade);
    Ellipse(dc, x, y, x + size, y + size);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(rim);
  }
  DeleteObject(shade);
}

LRESULT CALLBACK TLED::WindowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* led = reinterpret_cast<TLED*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT area;
      GetClientRect(h, &area);
      if (led) led->Paint(dc, area);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the whole area is painted
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // the mouse finds the group's hint under it
    default:
      return DefWindowProcA(h, message, wParam, lParam);
  }
}
