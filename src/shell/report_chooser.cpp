#include "shell/report_chooser.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "comparison/report_format.h"
#include "services/files.h"
#include "services/folding.h"
#include "shell/program_state.h"
#include "ui/messages.h"

namespace {

constexpr int Margin = 8, Gap = 6, ButtonWidth = 75, ButtonHeight = 25, BarHeight = 22;
constexpr int ListHeight = 224;
// The title, and room for an eight-plus-three file name after it.
constexpr int ListColumns = static_cast<int>(ChooserTitleWidth) + 12;

}  // namespace

std::string ChooserLine(std::string_view firstLine, std::string_view fileName) {
  std::string line(firstLine.substr(std::min<size_t>(2, firstLine.size())));
  line.resize(ChooserTitleWidth, ' ');
  line.append(fileName);
  return line;
}

TChoisir::TChoisir(HWND owner) {
  listFont_ = CreateReportFont();
  const int listWidth = ListColumns * AverageCharacterWidth(listFont_) + GetSystemMetrics(SM_CXVSCROLL) + 6;
  const int width = listWidth + 2 * Margin;
  const int buttonsY = Margin + ListHeight + Margin;
  const int height = buttonsY + ButtonHeight + Margin + BarHeight;
  if (!CreateForm(owner, Title, width, height)) return;
  HelpContext = HelpContextChooser;

  Liste = AddListBox(Margin, Margin, listWidth, ListHeight, false, false,
                     " choisissez le rapport à ouvrir", [this] { ListeDblClick(); });
  SetFont(Liste, listFont_);
  int x = width - Margin - 3 * ButtonWidth - 2 * Gap;
  btnOuvrir = AddButton("&Ouvrir", x, buttonsY, ButtonWidth, ButtonHeight, [this] { btnOuvrirClick(); },
                        " ouvre le rapport sélectionné", true);
  x += ButtonWidth + Gap;
  btnAnnuler = AddButton("Annuler", x, buttonsY, ButtonWidth, ButtonHeight,
                         [this] { btnAnnulerClick(); }, " referme cette fenêtre sans ouvrir de rapport");
  x += ButtonWidth + Gap;
  btnAide = AddButton("Aide", x, buttonsY, ButtonWidth, ButtonHeight, [this] { btnAideClick(); },
                      HintHelp);
  BarredEtat = AddHintBar(BarHeight);
}

TChoisir::~TChoisir() {
  if (listFont_) DeleteObject(listFont_);
}

// The list is made when the dialog is opened, not each time it becomes
// active again (after the help window or a message box): the selection of
// the user stays.
void TChoisir::FormShow() { fillPending_ = true; }

void TChoisir::FormActivate() {
  if (!fillPending_) return;
  fillPending_ = false;
  FillList();
}

void TChoisir::FillList() {
  btnAide.SetEnabled(Program.HelpAvailable);
  HourGlass busy;
  Liste.Clear();
  std::vector<std::string> lines;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((Program.ProgramDirectory + "*.*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      const std::string name = found.cFileName;
      if (!report::IsReportFileName(name)) continue;
      const std::string path = Program.StorageLocation + name;
      std::string firstLine;
      if (!FileExists(path) || !ReadFirstLine(path, firstLine)) continue;
      lines.push_back(ChooserLine(firstLine, name));
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  // The directory comes in the file system's order; the list is alphabetical
  // without regard to case.
  std::stable_sort(lines.begin(), lines.end(),
                   [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
  for (const std::string& line : lines) Liste.Add(line);
}

void TChoisir::btnOuvrirClick() {
  const int selected = Liste.Selected();
  if (selected < 0) {
    Close(mrCancel);
    return;
  }
  const std::string item = Liste.Item(selected);
  ChosenReport = item.size() > ChooserTitleWidth ? item.substr(ChooserTitleWidth) : "";
  Close(mrOk);
}

void TChoisir::btnAnnulerClick() { Close(mrCancel); }

void TChoisir::btnAideClick() { ShowHelp(Handle(), HelpContext); }

void TChoisir::ListeDblClick() { btnOuvrirClick(); }
