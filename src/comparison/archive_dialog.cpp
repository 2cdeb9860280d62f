#include "comparison/archive_dialog.h"

#include <windows.h>

#include "comparison/report_format.h"
#include "recording/catalogue_lines.h"
#include "recording/state_transfer.h"
#include "services/files.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "shell/report_chooser.h"
#include "shell/settings.h"
#include "ui/messages.h"

namespace {

constexpr int Margin = 8, Gap = 8, ButtonWidth = 80, ButtonHeight = 25, BarHeight = 22;
constexpr int ListTop = 26, ListHeight = 196;
constexpr int GroupWidth = 150, GroupHeight = 92;
// The title, and room for an eight-plus-three file name after it.
constexpr int ListColumns = static_cast<int>(ArchiveTitleWidth) + 12;

constexpr const char* HintOperation = " choisissez l'opération que vous voulez effectuer";
constexpr const char* HintDe = " cochez l'unité où se trouvent les fichiers";
constexpr const char* HintVers = " cochez l'unité qui recevra les fichiers";
constexpr const char* HintFichiers = " sélectionnez un ou plusieurs fichiers";

bool IsStateIndexName(std::string_view name) { return name.find(".000") != std::string_view::npos; }

// The directory of a place: the program directory, which is the current
// directory, for the hard disk.
std::string DirectoryOf(const std::string& place) { return place.empty() ? CurrentDirectoryPath() : place; }

}  // namespace

std::string ArchiveListLine(std::string_view fileName, std::string_view firstLine) {
  return StateLabel(firstLine, IsStateIndexName(fileName) ? LabelCaptionDisks : "", fileName);
}

TTransferer::TTransferer(HWND owner) {
  listFont_ = CreateReportFont();
  const int listWidth = ListColumns * AverageCharacterWidth(listFont_) + GetSystemMetrics(SM_CXVSCROLL) + 6;
  const int width = listWidth + 2 * Margin;
  const int groupsTop = ListTop + ListHeight + Gap;
  const int height = groupsTop + GroupHeight + Margin + BarHeight;
  if (!CreateForm(owner, Title, width, height, WS_CAPTION | WS_SYSMENU)) return;
  HelpContext = HelpContextArchive;

  FichiersLabel = AddLabel("&Fichiers :", Margin, 8, 120, 16, HintFichiers);
  ShowMnemonic(FichiersLabel);
  Liste = AddListBox(Margin, ListTop, listWidth, ListHeight, true, true, HintFichiers);
  SetFont(Liste, listFont_);
  AddHintArea(0, 0, width, ListTop + ListHeight + 2, HintFichiers);

  // Three groups side by side, each of three radio buttons.
  auto group = [&](int column, const char* caption, const char* hint, const char* const captions[3],
                   RadioButton* buttons[3], const Handler handlers[3]) {
    const int x = Margin + column * (GroupWidth + Gap);
    GroupBox box = AddGroupBox(caption, x, groupsTop, GroupWidth, GroupHeight, hint);
    for (int i = 0; i < 3; ++i)
      *buttons[i] = AddRadioButton(captions[i], x + 12, groupsTop + 18 + 22 * i, GroupWidth - 20, 20, hint, i == 0,
                                   handlers[i]);
    AddHintArea(x, groupsTop, GroupWidth, GroupHeight, hint);
    return box;
  };
  const char* const operations[3] = {"Copier", "Déplacer", "Supprimer"};
  RadioButton* operationButtons[3] = {&Copier, &Deplacer, &Supprimer};
  const Handler operationHandlers[3] = {[this] { CopierClick(); }, [this] { DeplacerClick(); },
                                        [this] { SupprimerClick(); }};
  Operation = group(0, "&Opération", HintOperation, operations, operationButtons, operationHandlers);
  const char* const places[3] = {"Lecteur A", "Lecteur B", "Disque dur"};
  RadioButton* sources[3] = {&DeA, &DeB, &DeC};
  const Handler sourceHandlers[3] = {[this] { DeAClick(); }, [this] { DeBClick(); }, [this] { DeCClick(); }};
  De = group(1, "&De", HintDe, places, sources, sourceHandlers);
  RadioButton* destinations[3] = {&VersA, &VersB, &VersC};
  const Handler destinationHandlers[3] = {[this] { VersAClick(); }, [this] { VersBClick(); },
                                          [this] { VersCClick(); }};
  Vers = group(2, "&Vers", HintVers, places, destinations, destinationHandlers);
  for (const Control* c : {&DeA, &DeB, &VersA, &VersB}) c->SetEnabled(false);
  Copier.SetChecked(true);
  DeC.SetChecked(true);
  VersC.SetChecked(true);

  const int buttonsLeft = width - Margin - ButtonWidth;
  btnOK = AddButton("OK", buttonsLeft, groupsTop + 4, ButtonWidth, ButtonHeight, [this] { btnOKClick(); },
                    " lance l'opération pour les fichiers sélectionnés", true);
  btnAnnuler = AddButton("Annuler", buttonsLeft, groupsTop + 4 + ButtonHeight + 6, ButtonWidth, ButtonHeight,
                         [this] { btnAnnulerClick(); }, " abandonne l'archivage des fichiers");
  btnAide = AddButton("Aide", buttonsLeft, groupsTop + 4 + 2 * (ButtonHeight + 6), ButtonWidth, ButtonHeight,
                      [this] { btnAideClick(); }, HintHelp);
  BarredEtat = AddHintBar(BarHeight);
}

TTransferer::~TTransferer() {
  if (listFont_) DeleteObject(listFont_);
}

void TTransferer::FormActivate() {
  // Coming back from a message box or the help viewer is no new opening:
  // the places and the selection stay.
  if (!ActivationIsNewOpening()) return;
  btnAide.SetEnabled(Program.HelpAvailable);
  SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  const std::string& removable = Program.RemovableDrives;
  FirstRoot = removable.empty() ? "?:\\" : std::string(1, removable.front()) + ":\\";
  SecondRoot = removable.size() >= 2 ? std::string(1, removable.back()) + ":\\" : FirstRoot;
  if (!removable.empty()) {
    for (const Control* c : {&DeA, &VersA}) {
      c->SetEnabled(true);
      c->SetText("Lecteur " + removable.substr(0, 1));
    }
  }
  if (removable.size() >= 2) {
    for (const Control* c : {&DeB, &VersB}) {
      c->SetEnabled(true);
      c->SetText("Lecteur " + removable.substr(removable.size() - 1));
    }
  }
  Copier.SetChecked(true);
  Deplacer.SetChecked(false);
  Supprimer.SetChecked(false);
  CopierClick();
  Program.StorageLocation = "";
  Destination = FirstRoot;
  FillList();
}

// ---- the operation ---------------------------------------------------------------

void TTransferer::EnableDestinations(bool on) {
  Vers.SetEnabled(on);
  VersC.SetEnabled(on);
  VersA.SetEnabled(on && !Program.RemovableDrives.empty());
  VersB.SetEnabled(on && Program.RemovableDrives.size() >= 2);
}

void TTransferer::CheckDestination() {
  VersA.SetChecked(Destination == FirstRoot);
  VersB.SetChecked(Destination != FirstRoot && Destination == SecondRoot);
  VersC.SetChecked(Destination.empty());
}

void TTransferer::CopierClick() {
  OperationChosen = OperationCopy;
  EnableDestinations(true);
  CheckDestination();
}

void TTransferer::DeplacerClick() {
  CopierClick();
  OperationChosen = OperationMove;
}

void TTransferer::SupprimerClick() {
  OperationChosen = OperationDelete;
  EnableDestinations(false);
  for (const RadioButton* b : {&VersA, &VersB, &VersC}) b->SetChecked(false);
}

// ---- the places: source and destination are never the same ---------------------------

void TTransferer::SourceClick(const std::string& root) {
  if (Program.StorageLocation == root) return;
  Program.StorageLocation = root;
  if (Destination == root) Destination = "";
  FillList();
}

void TTransferer::DeCClick() {
  if (Program.StorageLocation.empty()) return;
  Program.StorageLocation = "";
  if (Destination.empty()) Destination = FirstRoot;
  FillList();
}

void TTransferer::DestinationClick(const std::string& root) {
  if (Destination == root) return;
  Destination = root;
  if (Program.StorageLocation == root) Program.StorageLocation = "";
  FillList();
}

void TTransferer::VersCClick() {
  if (Destination.empty()) return;
  Destination = "";
  if (Program.StorageLocation.empty()) Program.StorageLocation = FirstRoot;
  FillList();
}

// ---- the list ----------------------------------------------------------------------------

void TTransferer::FillList() {
  HourGlass busy;
  Liste.Clear();
  const std::string& source = Program.StorageLocation;
  DeA.SetChecked(source == FirstRoot);
  DeB.SetChecked(source != FirstRoot && source == SecondRoot);
  DeC.SetChecked(source != FirstRoot && source != SecondRoot);
  if (OperationChosen != OperationDelete) CheckDestination();
  const std::string directory = source.empty() ? Program.ProgramDirectory : source;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((directory + "*.*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string name = found.cFileName;
    if (!IsStateIndexName(name) && !report::IsReportFileName(name)) continue;
    std::string firstLine;
    if (!FileExists(directory + name) || !ReadFirstLine(directory + name, firstLine)) continue;
    Liste.Add(ArchiveListLine(name, firstLine));
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

// The file names of the selected lines, in the order of the list.
std::vector<std::string> TTransferer::SelectedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < Liste.Count(); ++i) {
    if (!Liste.IsSelected(i)) continue;
    const std::string line = Liste.Item(i);
    if (line.size() > ArchiveTitleWidth) names.push_back(line.substr(ArchiveTitleWidth));
  }
  return names;
}

// ---- the buttons -------------------------------------------------------------------------

void TTransferer::btnOKClick() {
  BarredEtat.SetText("");
  const std::vector<std::string> names = SelectedNames();
  if (names.empty()) {
    ShowMessageBox("Aucun fichier n'est sélectionné !", MessageKind::Error, MessageButtons::Ok);
    return;
  }
  if (OperationChosen == OperationDelete && Program.ConfirmLevel != 1 &&
      ShowMessageBox("Voulez-vous réellement effacer les fichiers sélectionnés ?", MessageKind::Confirmation,
                     MessageButtons::YesNo) != IDYES)
    return;
  {
    HourGlass busy;
    try {
      if (OperationChosen == OperationDelete) DeleteSelected(names);
      else TransferSelected(names);
    } catch (const IoError& e) {
      // The files handled so far stay where they are; the one in hand was
      // left whole where it was.
      SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
      ShowDiskError(e.code);
    }
    SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  }
  Close(mrOk);
}

// From the last line to the first. A state carried elsewhere is no longer
// the one Pred or Succ names, a report no longer the one Last names.
void TTransferer::TransferSelected(const std::vector<std::string>& names) {
  const std::string from = DirectoryOf(Program.StorageLocation), to = DirectoryOf(Destination);
  const bool move = OperationChosen == OperationMove;
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    if (IsStateIndexName(*name)) {
      TransferState(from, to, name->substr(0, name->find('.')), move);
      settings::Write(settings::Text::Pred, "");
      settings::Write(settings::Text::Succ, "");
    } else {
      TransferFiles(from, to, {*name}, move);
      settings::Write(settings::Text::Last, "");
    }
  }
}

void TTransferer::DeleteSelected(const std::vector<std::string>& names) {
  const std::string from = DirectoryOf(Program.StorageLocation);
  for (const std::string& name : names) {
    if (IsStateIndexName(name)) {
      DeleteStateIn(from, name.substr(0, name.find('.')));
      settings::Write(settings::Text::Pred, "");
      settings::Write(settings::Text::Succ, "");
    } else {
      DeleteFiles(from, {name});
      settings::Write(settings::Text::Last, "");
    }
  }
}

void TTransferer::btnAnnulerClick() {
  BarredEtat.SetText("");
  Close(mrCancel);
}

void TTransferer::btnAideClick() {
  BarredEtat.SetText("");
  ShowHelp(Handle(), HelpContext);
}
