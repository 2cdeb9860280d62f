#include "comparison/install_wizard.h"

#include "comparison/compare_states.h"
#include "comparison/report_viewer.h"
#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"
#include "undo/replaced_files_warning.h"

namespace {

constexpr int Width = 520, Height = 330;
constexpr int Left = Width / 5 + 10;  // the text column, right of the picture
constexpr UINT_PTR TimerId = 1;

// The texts that hold double quotes, as they are shown.
const std::string Quoted(const char* before, const char* word, const char* after) {
  return std::string(before) + "\"" + word + "\"" + after;
}

// A capital at the start and after a blank, "-" or ".": "mon jeu-test.final"
// gives "Mon Jeu-Test.Final".
std::string WithCapitals(const std::string& text) {
  std::string out = text;
  for (size_t i = 0; i < out.size(); ++i)
    if (i == 0 || out[i - 1] == ' ' || out[i - 1] == '-' || out[i - 1] == '.')
      out[i] = FoldUpper(out.substr(i, 1))[0];
  return out;
}

}  // namespace

TAssInst::TAssInst(HWND owner, TRapport& viewer, TAttention& warning)
    : viewer_(viewer), warning_(warning) {
  if (!CreateWizard(owner, Title, Width, Height, 6, 3, HelpContextInstall)) return;
  const int right = Width - 8;
  Label1 = AddLabel("Fichiers :", Left, 72, 180, 16);
  FileListBox = AddListBox(Left, 88, 180, 124, true, false, " choisissez le programme à lancer");
  Label2 = AddLabel("Répertoires :", Left + 188, 72, right - Left - 188, 16);
  DirectoryListBox = AddListBox(Left + 188, 88, right - Left - 188, 90, false, false,
                                " choisissez le répertoire du programme",
                                [this] { chooser_.DirectoriesDblClick(); });
  Label3 = AddLabel("Disques :", Left + 188, 182, right - Left - 188, 16);
  DriveComboBox = AddComboBox(Left + 188, 198, right - Left - 188, 160, " choisissez le disque du programme");
  Nom = AddEdit("", Left, 84, 200, 22, 18, " le nom qui désignera le rapport");
  Installation = AddRadioButton("Installation de", Left + 8, 122, 190, 20,
                                " le programme installe une application", true);
  Lancement = AddRadioButton("Lancement de", Left + 8, 144, 190, 20,
                             " le programme est une application déjà installée");
  Texte9 = Label(AddLabel("", Left, 222, right - Left, 36));
  SetWindowLongPtrA(Texte9.Handle(), GWL_STYLE,
                    (GetWindowLongPtrA(Texte9.Handle(), GWL_STYLE) & ~SS_LEFT) | SS_CENTER);
  OnNotify(FileListBox, LBN_SELCHANGE, [this] { FileListBoxChange(); });
  OnNotify(DriveComboBox, CBN_SELCHANGE, [this] { chooser_.DrivesChange(); });
  OnNotify(Nom, EN_CHANGE, [this] { NomChange(); });
  chooser_.Drives = DriveComboBox;
  chooser_.Directories = DirectoryListBox;
  chooser_.Files = FileListBox;
  chooser_.Masks = {"*.exe", "*.com", "*.bat"};
  chooser_.DirectoryChanged = [this] { FileListBoxChange(); };
  DefinePages();
  chooser_.FillDrives();
  ChooseDirectory("C:\\");
  Current = 'A';
}

// ---- the file chooser -----------------------------------------------------------

void TAssInst::ChooseDirectory(const std::string& directory) { chooser_.ChooseDirectory(directory); }

std::string TAssInst::SelectedFile() const { return chooser_.SelectedFile(); }

void TAssInst::FileListBoxChange() {
  Texte9.SetText(SelectedFile());
  if (Current == 'A') BtnSuivant.SetEnabled(!SelectedFile().empty());
}

// Which of the page's own controls show: the file chooser on page A, the
// name and the mode on page B, neither on the others. Each page sets them
// all, so that any page can be shown from any other.
void TAssInst::ShowPageControls(bool chooser, bool nameAndMode) {
  for (const Control* c : {static_cast<const Control*>(&FileListBox), static_cast<const Control*>(&DirectoryListBox),
                           static_cast<const Control*>(&DriveComboBox), static_cast<const Control*>(&Label1),
                           static_cast<const Control*>(&Label2), static_cast<const Control*>(&Label3)})
    c->SetVisible(chooser);
  Nom.SetVisible(nameAndMode);
  Installation.SetVisible(nameAndMode);
  Lancement.SetVisible(nameAndMode);
}

// ---- the name and the mode ----------------------------------------------------

void TAssInst::NomChange() {
  if (changingName_) return;
  const std::string text = Nom.Text();
  if (text.empty()) {
    if (Current == 'B') BtnSuivant.SetEnabled(false);
    return;
  }
  const std::string capitals = WithCapitals(text);
  if (capitals != text) {
    changingName_ = true;
    Nom.SetText(capitals);
    changingName_ = false;
  }
  SendMessageA(Nom.Handle(), EM_SETSEL, capitals.size(), capitals.size());
  if (Current == 'B') BtnSuivant.SetEnabled(true);
}

void TAssInst::SelectMode(int mode) {
  Installation.SetChecked(mode == 0);
  Lancement.SetChecked(mode == 1);
}

// ---- pages ---------------------------------------------------------------------------

void TAssInst::DefinePages() {
  std::vector<WizardStep> pages;
  WizardStep a = WizardStep::Of('A', {" Choisissez un disque et un répertoire, puis le fichier", "que vous voulez lancer."});
  a.next = 'B';
  a.previousEnabled = false;
  a.configurationVisible = false;
  a.enter = [this] {
    readyToRecord_ = true;
    ShowPageControls(true, false);
    BtnAnnuler.SetText("Annuler");
    BtnAnnuler.SetEnabled(true);
    FileListBoxChange();  // Texte9 and "Suivant >" follow the file chosen
  };
  pages.push_back(a);

  WizardStep b = WizardStep::Of('B', {" Indiquez le nom que vous voulez donner au rapport",
                            "d'installation; il vous servira plus tard à retrouver", "ce fichier."});
  b.next = 'C';
  b.previous = 'A';
  b.configurationVisible = false;
  b.enter = [this] {
    ShowPageControls(false, true);
    Texte9.SetText("");
    BtnSuivant.SetEnabled(!Nom.Text().empty());
    Nom.Focus();
  };
  pages.push_back(b);

  WizardStep c = WizardStep::Of('C', {" Si vous voulez modifier les disques et les fichiers",
                            Quoted("à surveiller, cliquez sur ", "Configuration", "."), "",
                            " Vous devriez cocher tous les éléments qui risquent d'être", "modifiés."});
  c.next = 'D';
  c.previous = 'B';
  c.enter = [this] {
    ShowPageControls(false, false);
    Texte9.SetText("");
    BtnConfig.SetText("Configuration");
  };
  pages.push_back(c);

  WizardStep d = WizardStep::Of('D', {" Pivalune enregistre l'état de votre système pour effectuer",
                            "une comparaison après l'installation."});
  d.next = 'E';
  d.configurationVisible = false;
  d.enter = [this] {
    ShowPageControls(false, false);
    Texte9.SetText("");
    if (!readyToRecord_) return;
    BtnPrecedent.SetEnabled(false);
    BtnSuivant.SetEnabled(false);
    BtnAnnuler.SetEnabled(false);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RecordAndLaunch();
  };
  pages.push_back(d);

  WizardStep e = WizardStep::Of('E', {" Pivalune lance le programme sélectionné.", " Lorsque l'installation sera terminée, cliquez",
                            Quoted("sur ", "Suivant", ".")});
  e.next = 'G';
  e.previousEnabled = false;
  e.nextEnabled = false;  // until the timer sees the program end
  e.configurationVisible = false;
  e.enter = [this] {
    ShowPageControls(false, false);
    Texte9.SetText(Quoted("Si le programme se bloque, cliquez sur ", "Interrompre", "."));
    BtnAnnuler.SetText("Interrompre");
    BtnAnnuler.SetEnabled(true);
  };
  pages.push_back(e);

  WizardStep f = WizardStep::Of('F', {" Vous avez interrompu l'analyse, sans doute parce que", "le programme lancé s'était bloqué.",
                            "", "Quittez Pivalune, installez normalement votre application,",
                            "puis relancez Pivalune et suivez les indications qui", "apparaîtront à l'écran."});
  f.next = 'G';
  f.previousEnabled = false;
  f.nextEnabled = false;
  f.configurationVisible = false;
  f.enter = [this] {
    ShowPageControls(false, false);
    Texte9.SetText("");
    BtnAnnuler.SetText("Annuler");
    BtnAnnuler.SetEnabled(true);
  };
  pages.push_back(f);

  WizardStep g = WizardStep::Of('G', {" Pivalune effectue une comparaison avec l'état antérieur", "pour déterminer ce qui a été modifié."});
  g.next = 'H';
  g.previousEnabled = false;
  g.nextEnabled = false;
  g.configurationVisible = false;
  g.cancelVisible = false;
  g.enter = [this] {
    ShowPageControls(false, false);
    Texte9.SetText("");
  };
  pages.push_back(g);

  WizardStep h = WizardStep::Of('H', {Quoted(" L'installation est terminée. Cliquez sur ", "Rapport", ""),
                            "pour voir le résultat de l'analyse."});
  h.previousEnabled = false;
  h.finish = true;
  h.cancelVisible = false;
  h.enter = [this] {
    ShowPageControls(false, false);
    Texte9.SetText("");
    BtnConfig.SetText("Rapport");
  };
  pages.push_back(h);
  DefineSteps(std::move(pages));
}

void TAssInst::FormActivate() {
  TWizard::FormActivate();
  // Coming back from the launched program (or from the help viewer) is no
  // new opening: the page, its timer and the choices so far stay.
  if (!ActivationIsNewOpening()) return;
  if (Current == 'A') {
    chooser_.FillDrives();
    ChooseDirectory(chooser_.Directory().empty() ? "C:\\" : chooser_.Directory());
  }
  if (Current != 'E') StopTimer(TimerId);
  interrupted_ = false;
  ShowStep(Current);
}

// ---- buttons -------------------------------------------------------------------------------

void TAssInst::BtnSuivantClick() {
  switch (Current) {
    case 'A': {
      // A program on a hard disk is launched; one on a diskette, a CD or
      // a network drive installs.
      const std::string drive = chooser_.Directory().substr(0, 1);
      SelectMode(!drive.empty() && PosFolded(drive, Program.FixedDrives) > 0 ? 1 : 0);
      break;
    }
    case 'E':
      Finish();
      return;
    case 'H':
      Close(mrOk);
      return;
    default:
      break;
  }
  ShowStep(Next);
}

void TAssInst::BtnAnnulerClick() {
  if (Current == 'E') {
    interrupted_ = true;
    Texte9.SetText("");
    BtnSuivant.SetEnabled(false);
    Finish();
    return;
  }
  SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  Close(mrCancel);
}

void TAssInst::BtnConfigClick() {
  if (Current == 'C') TWizard::BtnConfigClick();
  else if (Current == 'H') ShowDialogInstead(this, viewer_);
}

// ---- the work ------------------------------------------------------------------------------

// Records the before state, notes the analysis under way, starts the
// program (page D, then E).
void TAssInst::RecordAndLaunch() {
  readyToRecord_ = false;
  Program.AnalysisMode = static_cast<uint8_t>(SelectedMode());
  Program.RecordDrives = Program.Drives.substr(0, 10);
  Program.RecordTypes = Program.Types.substr(0, 10);
  BuildExclusionList(Program.ExclusionText);
  const std::string program = SelectedFile();
  try {
    HourGlass busy;
    SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
    Program.StorageLocation = "";
    Program.AnalysedAppName = Nom.Text();
    const std::string before = NewStateName();
    settings::Write(settings::Text::Pred, before);
    RecordState(before, this);
    // From now on an analysis is under way: a start-up after a crash or a
    // restart offers to resume it.
    settings::Write(settings::Text::Error, Program.AnalysedAppName);
  } catch (const IoError& e) {
    HideWaitMessage();
    ShowDiskError(e.code);
    // Nothing was recorded (a recording is all or nothing): the user may
    // try again or leave.
    BtnAnnuler.SetEnabled(true);
    ShowStep('C');
    return;
  }
  HideWaitMessage();
  ShowStep('E');
  // The path is quoted: unquoted, a path with blanks would start another
  // program ("C:\Program" for "C:\Program Files\...").
  if (program_.Start("\"" + program + "\"")) StartTimer(TimerId, 1000, [this] { TimerTimer(); });
}

void TAssInst::TimerTimer() {
  if (!program_.Ended()) return;
  StopTimer(TimerId);
  BtnSuivant.SetEnabled(true);
  Texte[0].SetText("");
  Texte9.SetText("");
  BtnAnnuler.SetVisible(false);
  if (Program.AnalysisMode == 0) {
    Texte[3].SetText(" En lançant d'abord l'application installée,");
    Texte[4].SetText("vous pouvez inclure dans le rapport les éléments");
    Texte[5].SetText("créés ou modifiés à la première utilisation.");
  }
}

// Records the after state, compares, deletes both states (page G, then H),
// or after "Interrompre" shows page F with the analysis left to resume.
void TAssInst::Finish() {
  StopTimer(TimerId);
  if (interrupted_) {
    ShowStep('F');
    return;
  }
  ShowStep('G');
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  {
    HourGlass busy;
    try {
      settings::Write(settings::Text::Error, "");
      const std::string after = NewStateName();
      SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
      RecordState(after, this);
      ShowWaitMessage("Préparation de l'analyse.");
      settings::Write(settings::Text::Succ, after);
      CompareStates();
      DeleteStateFiles(settings::Read(settings::Text::Pred));
      settings::Write(settings::Text::Pred, "");
      DeleteStateFiles(after);
      settings::Write(settings::Text::Succ, "");
      HideWaitMessage();
      if (!Program.OlderVersions.empty()) {
        warning_.SetLines(Program.OlderVersions);
        ShowDialogInstead(this, warning_);
      }
    } catch (const IoError& e) {
      HideWaitMessage();
      ShowDiskError(e.code);
    }
  }
  ShowStep('H');
}
