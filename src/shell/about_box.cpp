#include "shell/about_box.h"

namespace {
constexpr int PictureWidth = 360, PictureHeight = 240, Margin = 12;
constexpr int Width = PictureWidth + 2 * Margin, Height = PictureHeight + 112;
}  // namespace

TAPropos::TAPropos(HWND owner) {
  if (!CreateForm(owner, Title, Width, Height, WS_CAPTION | WS_SYSMENU)) return;
  Image = AddPicture(Picture::Splash, Margin, Margin, PictureWidth, PictureHeight);
  const int y = Margin + PictureHeight + 8;
  Label1 = AddLabel("Pivalune 98", Margin, y, PictureWidth, 18);
  Label2 = AddLabel("Surveille les installations de logiciels et les défait.", Margin, y + 20,
                    PictureWidth, 18);
  btnOK = AddButton("OK", (Width - 88) / 2, Height - 36, 88, 26, [this] { btnOKClick(); }, "", true);
}
