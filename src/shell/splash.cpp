#include "shell/splash.h"

namespace {
constexpr int Width = 360, Height = 240;
constexpr UINT_PTR Timer1 = 1;
constexpr UINT SplashMilliseconds = 5000;
}  // namespace

TSplash::TSplash() {
  if (!CreateForm(nullptr, "Pivalune 98", Width, Height, WS_POPUP | WS_BORDER, WS_EX_TOPMOST)) return;
  Image = AddPicture(Picture::Splash, 0, 0, Width, Height);
  StartTimer(Timer1, SplashMilliseconds, [this] { Timer1Timer(); });
}

void TSplash::Timer1Timer() {
  StopTimer(Timer1);
  fired_ = true;
}
