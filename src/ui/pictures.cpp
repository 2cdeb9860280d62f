#include "ui/pictures.h"

#include <initializer_list>

namespace {

// The palette: a deep blue, a warm orange, a leaf green, paper and ink.
constexpr COLORREF Blue = RGB(30, 80, 160);
constexpr COLORREF LightBlue = RGB(120, 170, 230);
constexpr COLORREF Orange = RGB(235, 140, 30);
constexpr COLORREF Green = RGB(60, 150, 70);
constexpr COLORREF Red = RGB(200, 50, 40);
constexpr COLORREF Paper = RGB(250, 248, 235);
constexpr COLORREF Ink = RGB(40, 40, 50);
constexpr COLORREF Grey = RGB(150, 150, 160);

// Drawing in a 32 x 32 design grid scaled onto the target rectangle.
class Canvas {
 public:
  Canvas(HDC dc, const RECT& area) : dc_(dc), area_(area) {}
  int X(int v) const { return area_.left + v * (area_.right - area_.left) / 32; }
  int Y(int v) const { return area_.top + v * (area_.bottom - area_.top) / 32; }

  void Rect(int l, int t, int r, int b, COLORREF fill, COLORREF line = Ink) {
    Use(fill, line);
    Rectangle(dc_, X(l), Y(t), X(r), Y(b));
  }
  void Ellipse(int l, int t, int r, int b, COLORREF fill, COLORREF line = Ink) {
    Use(fill, line);
    ::Ellipse(dc_, X(l), Y(t), X(r), Y(b));
  }
  void Poly(std::initializer_list<POINT> design, COLORREF fill, COLORREF line = Ink) {
    POINT pts[16];
    int n = 0;
    for (POINT p : design)
      if (n < 16) pts[n++] = {X(p.x), Y(p.y)};
    Use(fill, line);
    Polygon(dc_, pts, n);
  }
  void Line(int x1, int y1, int x2, int y2, COLORREF color, int width = 2) {
    HPEN pen = CreatePen(PS_SOLID, width, color);
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, X(x1), Y(y1), nullptr);
    LineTo(dc_, X(x2), Y(y2));
    SelectObject(dc_, old);
    DeleteObject(pen);
  }
  ~Canvas() { Release(); }

 private:
  void Use(COLORREF fill, COLORREF line) {
    Release();
    brush_ = CreateSolidBrush(fill);
    pen_ = CreatePen(PS_SOLID, 1, line);
    oldBrush_ = SelectObject(dc_, brush_);
    oldPen_ = SelectObject(dc_, pen_);
  }
  void Release() {
    if (!brush_) return;
    SelectObject(dc_, oldBrush_);
    SelectObject(dc_, oldPen_);
    DeleteObject(brush_);
    DeleteObject(pen_);
    brush_ = nullptr;
  }
  HDC dc_;
  RECT area_;
  HBRUSH brush_ = nullptr;
  HPEN pen_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr, oldPen_ = nullptr;
};

// A sheet of paper with lines of text: reports, states.
void Sheet(Canvas& c, int l, int t, int r, int b) {
  c.Rect(l, t, r, b, Paper);
  for (int y = t + 4; y < b - 2; y += 4) c.Line(l + 3, y, r - 3, y, Grey, 1);
}

// A disk drive: the thing Pivalune watches.
void Disk(Canvas& c, int l, int t, int r, int b) {
  c.Rect(l, t, r, b, LightBlue);
  c.Rect(l + 2, b - 5, r - 2, b - 2, Blue);
  c.Ellipse(r - 7, b - 5, r - 4, b - 2, Green);
}

void Arrow(Canvas& c, int x1, int y, int x2, COLORREF color) {
  c.Line(x1, y, x2, y, color, 3);
  int d = x2 > x1 ? -4 : 4;
  c.Poly({{x2, y}, {x2 + d, y - 4}, {x2 + d, y + 4}}, color, color);
}

void DrawIcon(Canvas& c, Picture p) {
  switch (p) {
    case Picture::Installer:  // a box being filled
      c.Poly({{4, 14}, {16, 20}, {28, 14}, {28, 28}, {16, 31}, {4, 28}}, Orange);
      c.Line(16, 20, 16, 31, Ink, 1);
      c.Poly({{12, 2}, {20, 2}, {20, 8}, {24, 8}, {16, 15}, {8, 8}, {12, 8}}, Green);
      break;
    case Picture::Enregistrer:  // a disk and its picture taken
      Disk(c, 3, 14, 24, 29);
      Sheet(c, 14, 3, 29, 20);
      break;
    case Picture::Configurer:  // check boxes
      for (int i = 0; i < 3; ++i) {
        c.Rect(5, 4 + 9 * i, 12, 11 + 9 * i, Paper);
        c.Line(14, 8 + 9 * i, 28, 8 + 9 * i, Blue, 2);
      }
      c.Line(6, 8, 8, 10, Green, 2);
      c.Line(8, 10, 12, 4, Green, 2);
      c.Line(6, 26, 8, 28, Green, 2);
      c.Line(8, 28, 12, 22, Green, 2);
      break;
    case Picture::Optimiser:  // two equal sheets, one crossed out
      Sheet(c, 3, 4, 17, 24);
      Sheet(c, 14, 8, 28, 28);
      c.Line(15, 10, 27, 26, Red, 3);
      break;
    case Picture::Desinstaller:  // the box emptied
      c.Poly({{4, 14}, {16, 20}, {28, 14}, {28, 28}, {16, 31}, {4, 28}}, Orange);
      c.Line(16, 20, 16, 31, Ink, 1);
      c.Poly({{12, 15}, {20, 15}, {20, 9}, {24, 9}, {16, 2}, {8, 9}, {12, 9}}, Red);
      break;
    case Picture::Comparer:  // two sheets and a balance
      Sheet(c, 2, 4, 14, 22);
      Sheet(c, 18, 4, 30, 22);
      c.Line(8, 26, 24, 26, Blue, 3);
      c.Poly({{16, 24}, {13, 30}, {19, 30}}, Blue, Blue);
      break;
    case Picture::Rapport:  // a report and a magnifier
      Sheet(c, 4, 2, 22, 28);
      c.Ellipse(16, 14, 27, 25, LightBlue, Blue);
      c.Line(25, 23, 30, 29, Blue, 3);
      break;
    case Picture::Nettoyer:  // a broom
      c.Line(24, 2, 14, 18, Orange, 3);
      c.Poly({{10, 16}, {18, 20}, {14, 30}, {2, 26}}, Green);
      break;
    case Picture::Sauvegarder:  // a safe with a disk
      c.Rect(4, 6, 28, 28, Grey);
      c.Rect(7, 9, 25, 25, LightBlue);
      c.Ellipse(13, 13, 19, 19, Orange);
      break;
    case Picture::Restaurer:  // a disk and an arrow going back
      Disk(c, 4, 14, 28, 29);
      Arrow(c, 26, 7, 6, Green);
      break;
    case Picture::Archiver:  // a drawer of sheets
      Sheet(c, 8, 2, 24, 16);
      c.Rect(3, 14, 29, 29, Orange);
      c.Rect(12, 19, 20, 22, Ink, Ink);
      break;
    case Picture::Quitter:  // an open door
      c.Rect(6, 3, 24, 29, Orange);
      c.Poly({{6, 3}, {16, 7}, {16, 31}, {6, 29}}, Blue);
      c.Ellipse(12, 16, 15, 19, Paper);
      break;
    default:
      break;
  }
}

void DrawScene(HDC dc, const RECT& area, bool withTitle) {
  HBRUSH background = CreateSolidBrush(Blue);
  FillRect(dc, &area, background);
  DeleteObject(background);
  int w = area.right - area.left, h = area.bottom - area.top;
  int side = (w < h ? w : h) * 2 / 3;
  RECT icon{area.left + (w - side) / 2, area.top + (withTitle ? h / 10 : (h - side) / 2),
            area.left + (w + side) / 2, 0};
  icon.bottom = icon.top + side;
  Canvas c(dc, icon);
  Disk(c, 2, 16, 30, 31);
  Sheet(c, 6, 1, 22, 20);
  c.Ellipse(16, 9, 29, 22, LightBlue, Paper);
  c.Line(27, 20, 31, 25, Paper, 3);
  if (!withTitle) return;
  HFONT font = CreateFontA(h / 7, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                           ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_ROMAN, "Times New Roman");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Paper);
  RECT text{area.left, icon.bottom + h / 20, area.right, area.bottom};
  DrawTextA(dc, "Pivalune 98", -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteObject(font);
}

}  // namespace

void DrawPicture(HDC dc, Picture picture, const RECT& area) {
  if (picture == Picture::Splash || picture == Picture::Wizard) {
    DrawScene(dc, area, picture == Picture::Splash);
    return;
  }
  Canvas c(dc, area);
  DrawIcon(c, picture);
}

HBITMAP MakePicture(Picture picture, int width, int height) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, width, height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  DrawPicture(dc, picture, all);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}
