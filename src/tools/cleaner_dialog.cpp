#include "tools/cleaner_dialog.h"

#include <windows.h>

#include <vector>

#include "services/files.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "tools/cleaner.h"
#include "ui/messages.h"

namespace {

constexpr int Width = 420, Height = 330, BarHeight = 22;
constexpr UINT_PTR Timer1 = 1;

constexpr const char* HintDisques = " seuls les disques cochés seront nettoyés";
constexpr const char* HintMasques = " les fichiers de la liste seront effacés";
constexpr const char* HintMasque = " vous pouvez taper un nouveau masque de fichier";
constexpr const char* HintAjouter = " cliquez pour ajouter dans la liste le nouveau masque";
constexpr const char* HintEnlever = " cliquez pour enlever de la liste le masque sélectionné";
constexpr const char* HintTempDir = " cochez pour nettoyer le répertoire temporaire de Windows";

std::vector<std::string> SplitMasks(const std::string& text) {
  std::vector<std::string> masks;
  size_t from = 0;
  for (size_t bar; (bar = text.find('|', from)) != std::string::npos; from = bar + 1)
    if (bar > from) masks.push_back(text.substr(from, bar - from));
  if (from < text.size()) masks.push_back(text.substr(from));
  return masks;
}

HFONT CreateListFont() {
  HDC dc = GetDC(nullptr);
  const int height = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(nullptr, dc);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

}  // namespace

TNettoyage::TNettoyage(HWND owner) {
  if (!CreateForm(owner, Title, Width, Height, WS_CAPTION | WS_SYSMENU)) return;
  HelpContext = HelpContextCleaner;
  DrivesToClean = settings::Read(settings::Text::Temp).substr(0, 10);
  MaskText = settings::Read(settings::Text::TempFiles) + "|";

  Disques = AddGroupBox("Disques", 8, 4, 404, 48, HintDisques);
  const char* captions[10] = {"&C", "&D", "&E", "&F", "&G", "&H", "&I", "&J", "&K", "&L"};
  auto boxes = DriveBoxes();
  for (int i = 0; i < 10; ++i) *boxes[i] = AddCheckBox(captions[i], 18 + 39 * i, 23, 36, 20, HintDisques);
  AddHintArea(8, 4, 404, 48, HintDisques);

  LabelMasques = AddLabel("Masques des fichiers temporaires", 16, 64, 220, 16, HintMasques);
  LabelASupprimer = AddLabel("à supprimer :", 16, 80, 220, 16, HintMasques);
  Liste = AddListBox(16, 98, 200, 118, true, false, HintMasques);
  listFont_ = CreateListFont();
  SetFont(Liste, listFont_);
  OnNotify(Liste, LBN_SELCHANGE, [this] { ListeClick(); });
  Masque = AddEdit("", 232, 98, 172, 22, 12, HintMasque);
  SetWindowLongPtrA(Masque.Handle(), GWL_STYLE, GetWindowLongPtrA(Masque.Handle(), GWL_STYLE) | ES_OEMCONVERT);
  OnNotify(Masque, EN_CHANGE, [this] { MasqueChange(); });
  btnAjouter = AddButton("Ajouter", 232, 128, 84, 25, [this] { btnAjouterClick(); }, HintAjouter);
  btnEnlever = AddButton("Enlever", 320, 128, 84, 25, [this] { btnEnleverClick(); }, HintEnlever);
  btnAjouter.SetEnabled(false);
  btnEnlever.SetEnabled(false);
  AddPanel("", 8, 58, 404, 166, HintMasques);

  TempDir = AddCheckBox("toujours nettoyer le répertoire temporaire", 16, 234, 388, 20, HintTempDir);
  TempDir.SetChecked(settings::Read(settings::Number::TD) == 1);
  AddPanel("", 8, 230, 404, 28, HintTempDir);

  const int buttonsTop = 266, gap = 12, buttonWidth = 84;
  const int left = (Width - 3 * buttonWidth - 2 * gap) / 2;
  BitBtn1 = AddButton("OK", left, buttonsTop, buttonWidth, 25, [this] { BitBtn1Click(); },
                      " supprime les fichiers temporaires", true);
  BitBtn2 = AddButton("Annuler", left + buttonWidth + gap, buttonsTop, buttonWidth, 25, [this] { BitBtn2Click(); },
                      " referme cette fenêtre sans rien supprimer");
  BoutonAide = AddButton("Aide", left + 2 * (buttonWidth + gap), buttonsTop, buttonWidth, 25,
                         [this] { BoutonAideClick(); }, HintHelp);
  BarredEtat = AddHintBar(BarHeight);

  // Hidden and system files too, in every sub-directory.
  Chercheur.SetIncludeHiddenFiles(true);
  Chercheur.SetIncludeSystemFiles(true);
  Chercheur.SetIncludeHiddenDir(true);
  Chercheur.SetIncludeSystemDir(true);
  Chercheur.SetInSubDirectories(true);
  Chercheur.OnFound = [this](TFilesSearch& search) { ChercheurFound(search); };
}

TNettoyage::~TNettoyage() {
  if (listFont_) DeleteObject(listFont_);
}

std::array<CheckBox*, 10> TNettoyage::DriveBoxes() { return {&uC, &uD, &uE, &uF, &uG, &uH, &uI, &uJ, &uK, &uL}; }

void TNettoyage::FormActivate() {
  // Coming back from a message box or the help viewer is no new opening:
  // the masks the user changed stay.
  if (!ActivationIsNewOpening()) return;
  BoutonAide.SetEnabled(Program.HelpAvailable);
  auto boxes = DriveBoxes();
  for (int i = 0; i < 10; ++i) {
    const char letter = static_cast<char>('C' + i);
    boxes[i]->SetEnabled(Program.FixedDrives.find(letter) != std::string::npos);
    boxes[i]->SetChecked(DrivesToClean.find(letter) != std::string::npos);
  }
  Liste.Clear();
  for (const std::string& mask : SplitMasks(MaskText)) Liste.Add(mask);
}

void TNettoyage::MasqueChange() { btnAjouter.SetEnabled(MaskMayBeAdded(Masque.Text())); }

void TNettoyage::btnAjouterClick() {
  const std::string mask = Masque.Text();
  if (SendMessageA(Liste.Handle(), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(mask.c_str())) == LB_ERR)
    Liste.Add(mask);
}

void TNettoyage::btnEnleverClick() {
  const int selected = Liste.Selected();
  if (selected >= 0) SendMessageA(Liste.Handle(), LB_DELETESTRING, selected, 0);
}

void TNettoyage::BoutonAideClick() {
  BarredEtat.SetText("");
  ShowHelp(Handle(), HelpContext);
}

void TNettoyage::BitBtn1Click() {
  BarredEtat.SetText("");
  if (ShowMessageBox("Etes-vous sûr que tous ces masques correspondent bien à des fichiers temporaires ?",
                     MessageKind::Confirmation, MessageButtons::YesNo) != IDYES) {
    Close(mrCancel);
    return;
  }
  std::string leftAlone;
  try {
    HourGlass busy;
    // The settings first: they are kept even when the cleaning fails.
    DrivesToClean.clear();
    auto boxes = DriveBoxes();
    for (int i = 0; i < 10; ++i)
      if (boxes[i]->Checked()) DrivesToClean += static_cast<char>('C' + i);
    settings::Write(settings::Text::Temp, DrivesToClean);
    MaskText.clear();
    for (int i = 0; i < Liste.Count(); ++i) MaskText += Liste.Item(i) + "|";
    settings::Write(settings::Text::TempFiles, MaskText);
    settings::Write(settings::Number::TD, TempDir.Checked() ? 1 : 0);
    DeletedCount = 0;
    FreedBlocks = 0;
    if (TempDir.Checked()) leftAlone = CleanTemporaryDirectory();
    StartTimer(Timer1, 100, [this] { Timer1Timer(); });
    CleanByMasks();
  } catch (const EDirectoryError& e) {
    StopTimer(Timer1);
    HideWaitMessage();
    ShowMessageBox(e.what(), MessageKind::Error, MessageButtons::Ok);
    Close(mrCancel);
    return;
  }
  StopTimer(Timer1);
  HideWaitMessage();
  const std::string result = CleaningResultText(DeletedCount, FreedBlocks);
  ShowMessageBox(leftAlone.empty() ? result : result + "\n\n" + leftAlone, MessageKind::Information,
                 MessageButtons::Ok);
  Close(mrOk);
}

// The whole temporary directory, when it is a folder of its own; otherwise
// the sentence that says why it stays.
std::string TNettoyage::CleanTemporaryDirectory() {
  char path[256] = {};
  const DWORD length = GetTempPathA(sizeof path, path);
  const std::string temporary = length > 0 && length < sizeof path ? path : "";
  if (temporary.empty()) return "";
  std::string why = WhyTemporaryDirectoryStays(temporary, Program.ProgramDirectory);
  if (why.empty() && !TFilesSearch::IsValidDirectoryPath(temporary)) why = "la recherche de fichiers n'accepte pas son chemin";
  if (!why.empty()) return TemporaryDirectoryLeftText(temporary, why);
  Chercheur.SetInitialDir(temporary);
  Chercheur.SetFileFilter("*.*");
  Chercheur.Execute();
  return "";
}

// Each drive is walked once per mask.
void TNettoyage::CleanByMasks() {
  for (int i = 0; i < Liste.Count(); ++i) {
    Chercheur.SetFileFilter(Liste.Item(i));
    for (char letter : DrivesToClean) {
      Chercheur.SetInitialDir(std::string(1, letter) + ":\\");
      Chercheur.Execute();
    }
  }
}

void TNettoyage::ChercheurFound(TFilesSearch& search) {
  const std::string file = search.FoundFile();
  const uint32_t blocks = FreedBlocksOf(FileSizeOf(file));
  if (!DeleteFileForced(file)) return;
  ++DeletedCount;
  FreedBlocks += blocks;
}

void TNettoyage::Timer1Timer() {
  ShowWaitMessage(" Recherche de " + Chercheur.FileFilter() + " sur " + Chercheur.CurrentDir());
}
