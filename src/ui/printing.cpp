#include "ui/printing.h"

#include <commdlg.h>

bool PrintLines(HWND owner, HFONT font, const std::vector<std::string>& lines,
                const std::string& documentName) {
  PRINTDLGA pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = owner;
  pd.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
  if (!PrintDlgA(&pd)) return false;
  HDC dc = pd.hDC;
  // The screen font scaled to the printer's resolution.
  LOGFONTA lf{};
  GetObjectA(font ? font : GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  HDC screen = GetDC(nullptr);
  lf.lfHeight = MulDiv(lf.lfHeight, GetDeviceCaps(dc, LOGPIXELSY), GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  HFONT printerFont = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, printerFont);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  const int lineHeight = tm.tmHeight + tm.tmExternalLeading;
  const int margin = GetDeviceCaps(dc, LOGPIXELSY) / 2;
  const int pageHeight = GetDeviceCaps(dc, VERTRES);

  DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = documentName.c_str();
  bool ok = StartDocA(dc, &doc) > 0 && StartPage(dc) > 0;
  int y = margin;
  for (size_t i = 0; ok && i < lines.size(); ++i) {
    if (y + lineHeight > pageHeight - margin) {
      ok = EndPage(dc) > 0 && StartPage(dc) > 0;
      y = margin;
    }
    TextOutA(dc, margin, y, lines[i].c_str(), static_cast<int>(lines[i].size()));
    y += lineHeight;
  }
  if (ok) ok = EndPage(dc) > 0 && EndDoc(dc) > 0;
  else AbortDoc(dc);
  SelectObject(dc, old);
  DeleteObject(printerFont);
  DeleteDC(dc);
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  return ok;
}
