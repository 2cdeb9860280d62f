// A small coloured indicator: lit it shows the bright shade of its colour,
// unlit the dark one. A round one is a disc with a grey rim, a rectangular
// one fills the space inside its bevels.
#pragma once
#include <windows.h>

#include "ui/controls.h"

enum TLEDColor { lcRed, lcGreen, lcBlue, lcYellow, lcNone };
enum TLEDType { ltRound, ltRect };
enum TBevel { bvNone, bvLowered, bvRaised };

class TLED : public Control {
 public:
  TLED() = default;
  // Makes the indicator as a child of `parent`.
  TLED(HWND parent, int x, int y, int w, int h);
  TLED(const TLED&) = delete;
  TLED& operator=(const TLED&) = delete;
  TLED(TLED&& other) noexcept { *this = std::move(other); }
  TLED& operator=(TLED&& other) noexcept;
  ~TLED();

  TLEDColor LEDColor() const { return color_; }
  bool LEDOn() const { return on_; }
  TLEDType LEDType() const { return type_; }
  void SetLEDColor(TLEDColor color) { color_ = color, Changed(); }
  void SetLEDOn(bool on) { on_ = on, Changed(); }
  void SetLEDType(TLEDType type) { type_ = type, Changed(); }
  void SetBevelOuter(TBevel bevel) { outer_ = bevel, Changed(); }
  void SetBevelInner(TBevel bevel) { inner_ = bevel, Changed(); }
  void SetBevelWidth(int width) { bevelWidth_ = width, Changed(); }
  void SetBackGround(COLORREF colour) { background_ = colour, Changed(); }

  // The colour it shows now: the bright or the dark shade of LEDColor.
  COLORREF ShownColour() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc, RECT area) const;
  void Changed() const;
  void Bind();

  TLEDColor color_ = lcRed;
  bool on_ = false;
  TLEDType type_ = ltRound;
  TBevel outer_ = bvNone, inner_ = bvNone;
  int bevelWidth_ = 1;
  COLORREF background_ = GetSysColor(COLOR_BTNFACE);
};
