#include "shell/configuration_dialog.h"

#include <utility>

#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"

namespace {

constexpr int ClientWidth = 400, ClientHeight = 293, BarHeight = 22;
constexpr int ButtonWidth = 80, ButtonHeight = 25;
constexpr int ExclusionMaxLength = 255;

constexpr const char* HintDisques = " cochez les disques à surveiller";
constexpr const char* HintFichiers = " cochez les fichiers à analyser";
constexpr const char* HintExclure = " vous pouvez inscrire le nom d'un répertoire à ne pas analyser";
constexpr const char* HintCorbeille = " cochez la case pour activer cette option";

bool Contains(const std::string& letters, char letter) {
  return letters.find(letter) != std::string::npos;
}

}  // namespace

TConfiguration::TConfiguration(HWND owner) {
  if (!CreateForm(owner, Title, ClientWidth, ClientHeight, WS_CAPTION | WS_SYSMENU)) return;
  HelpContext = HelpContextDialog;

  GroupeDisques = AddGroupBox("Disques", 8, 4, 384, 48, HintDisques);
  const char* driveCaptions[10] = {"&C", "&D", "&E", "&F", "&G", "&H", "&I", "&J", "&K", "&L"};
  auto drives = DriveBoxes();
  for (int i = 0; i < 10; ++i)
    *drives[i] = AddCheckBox(driveCaptions[i], 18 + 37 * i, 23, 34, 20, HintDisques);
  PanelDisques = AddHintArea(8, 4, 384, 48, HintDisques);

  // Three columns, in the order of the type letters M C A S W I R.
  GroupeFichiers = AddGroupBox("Fichiers", 8, 58, 384, 82, HintFichiers);
  const int column[3] = {18, 142, 266}, row[3] = {76, 96, 116};
  fMsDos = AddCheckBox("&MSDOS.SYS", column[0], row[0], 118, 20, HintFichiers);
  fConfig = AddCheckBox("CONFIG.S&YS", column[0], row[1], 118, 20, HintFichiers);
  fAutoexec = AddCheckBox("AUTOEXEC.BA&T", column[0], row[2], 118, 20, HintFichiers);
  fSystem = AddCheckBox("&SYSTEM.INI", column[1], row[0], 118, 20, HintFichiers);
  fWin = AddCheckBox("&WIN.INI", column[1], row[1], 118, 20, HintFichiers);
  fIni = AddCheckBox("*.I&NI", column[1], row[2], 118, 20, HintFichiers);
  fRegistres = AddCheckBox("&Base de registres", column[2], row[0], 118, 20, HintFichiers);
  PanelFichiers = AddHintArea(8, 58, 384, 82, HintFichiers);

  LabelExclure = AddLabel("&Répertoires à exclure :", 16, 152, 368, 16, HintExclure);
  ShowMnemonic(LabelExclure);
  editExclure = AddEdit("", 16, 170, 368, 22, ExclusionMaxLength, HintExclure);
  PanelExclure = AddPanel("", 8, 146, 384, 54, HintExclure);

  cbCorbeille = AddCheckBox("Conserver dans la corbeille les fichiers sensibles", 16, 210, 368, 20,
                            HintCorbeille);
  PanelCorbeille = AddPanel("", 8, 206, 384, 28, HintCorbeille);

  const int buttonsTop = 240, gap = 12;
  const int left = (ClientWidth - 3 * ButtonWidth - 2 * gap) / 2;
  btnOK = AddButton("OK", left, buttonsTop, ButtonWidth, ButtonHeight, [this] { btnOKClick(); },
                    HintOk, true);
  btnAnnuler = AddButton("Annuler", left + ButtonWidth + gap, buttonsTop, ButtonWidth, ButtonHeight,
                         [this] { btnAnnulerClick(); }, HintCancel);
  btnAide = AddButton("Aide", left + 2 * (ButtonWidth + gap), buttonsTop, ButtonWidth, ButtonHeight,
                      [this] { btnAideClick(); }, HintHelp);
  BarredEtat = AddHintBar(BarHeight);
}

std::array<CheckBox*, 10> TConfiguration::DriveBoxes() {
  return {&uC, &uD, &uE, &uF, &uG, &uH, &uI, &uJ, &uK, &uL};
}

std::array<std::pair<CheckBox*, char>, 7> TConfiguration::FileBoxes() {
  return {{{&fMsDos, 'M'}, {&fConfig, 'C'}, {&fAutoexec, 'A'}, {&fSystem, 'S'}, {&fWin, 'W'},
           {&fIni, 'I'}, {&fRegistres, 'R'}}};
}

bool TConfiguration::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_HELP: {
      // F1 inside the exclusion panel has a page of its own.
      HWND control = static_cast<HWND>(reinterpret_cast<const HELPINFO*>(lParam)->hItemHandle);
      bool exclusion = control == editExclure.Handle() || control == LabelExclure.Handle() ||
                       control == PanelExclure.Handle();
      ShowHelp(Handle(), exclusion ? HelpContextExclure : HelpContext);
      result = TRUE;
      return true;
    }
  }
  return false;
}

void TConfiguration::FormActivate() {
  // Coming back from another program (the help viewer, say) is no new
  // opening: what the user has changed so far stays in the controls.
  if (!ActivationIsNewOpening()) return;
  btnAide.SetEnabled(Program.HelpAvailable);
  auto drives = DriveBoxes();
  for (int i = 0; i < 10; ++i) {
    const char letter = static_cast<char>('C' + i);
    drives[i]->SetEnabled(Contains(Program.FixedDrives, letter));
    drives[i]->SetChecked(Contains(Program.Drives, letter));
  }
  for (const auto& [box, letter] : FileBoxes()) box->SetChecked(Contains(Program.Types, letter));
  cbCorbeille.SetChecked(Program.UseRecycleBin);
  editExclure.SetText(Program.ExclusionText);
}

void TConfiguration::btnOKClick() {
  BarredEtat.SetText("");
  std::string drives;
  auto boxes = DriveBoxes();
  for (int i = 0; i < 10; ++i)
    if (boxes[i]->Checked()) drives += static_cast<char>('C' + i);  // disabled or not
  std::string types;
  for (const auto& [box, letter] : FileBoxes())
    if (box->Checked()) types += letter;
  std::string exclusion = editExclure.Text();
  if (exclusion.size() < 2) exclusion = "\\\\";
  settings::ApplyRecordingFallback(drives, types);

  Program.Drives = drives;
  Program.Types = types;
  Program.UseRecycleBin = cbCorbeille.Checked();
  Program.ExclusionText = exclusion;
  settings::Write(settings::Text::Drives, Program.Drives);
  settings::Write(settings::Text::Type, Program.Types);
  settings::Write(settings::Text::Exclude, Program.ExclusionText);
  settings::Write(settings::Number::RecBin, Program.UseRecycleBin ? 1 : 0);
  Close(mrOk);
}

void TConfiguration::btnAnnulerClick() {
  BarredEtat.SetText("");
  Close(mrCancel);
}

void TConfiguration::btnAideClick() {
  BarredEtat.SetText("");
  ShowHelp(Handle(), HelpContext);
}

bool TConfiguration::FormCloseQuery() {
  // Escape and the close box leave like Cancel.
  BarredEtat.SetText("");
  return true;
}
