#include "undo/uninstall_wizard.h"

#include <algorithm>

#include "comparison/archive_dialog.h"
#include "comparison/compare_states.h"
#include "comparison/report_viewer.h"
#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/processes.h"
#include "services/registered_applications.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"
#include "undo/restart_prompt.h"
#include "undo/undo_run.h"

namespace {

constexpr int Width = 560, Height = 330;
constexpr int Left = Width / 5 + 10;  // the text column, right of the picture
constexpr size_t ReportTitleWidth = 70;

WizardStep Step(char letter, char next) {
  WizardStep step = WizardStep::Of(letter);
  step.next = next;
  return step;
}

std::string PaddedOrCut(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string WithoutTrailingBlanks(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

bool StartShown(const std::string& commandLine) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

std::string RegisteredApplicationLine(const std::string& displayName, const std::string& uninstallString) {
  return PaddedOrCut(displayName, ApplicationNameWidth) + uninstallString;
}

std::string InstallationReportLine(const std::string& firstLine, const std::string& fileName) {
  // Cut as well as padded: the file name must stand where it is looked for,
  // whatever a report edited by hand holds on its first line.
  return PaddedOrCut(firstLine.substr(std::min<size_t>(2, firstLine.size())), ReportTitleWidth) + fileName;
}

std::string UndoTitleOf(const std::string& description) {
  std::string text = description.empty() ? "" : description.substr(1);
  text = (text.starts_with("n") ? "à l'i" : "au l") + text;
  // The date comes last: an application named "Table de jeu" keeps its name.
  const std::string folded = FoldUpper(text);
  const size_t date = folded.rfind(" LE ");
  if (date != std::string::npos) text.erase(date + 1);
  return text;
}

std::string TAssDesinst::RemovalPanelCommand() {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  return std::string(system) + "\\rundll32.exe shell32.dll,Control_RunDLL appwiz.cpl,";
}

TAssDesinst::TAssDesinst(HWND owner, TTransferer& archive, TRapport& viewer, TReStart& restart)
    : StartRemovalPanel(StartShown), archive_(archive), viewer_(viewer), restart_(restart) {
  if (!CreateWizard(owner, Title, Width, Height, 6, 3, HelpContextUninstall)) return;
  const int right = Width - 8;
  Liste = AddLineList(Left, 62, right - Left, 164, " choisissez dans la liste");
  OnNotify(Liste, LBN_SELCHANGE, [this] { ListeClick(); });
  const std::string hint = " choisissez si vous voulez un rapport de désinstallation";
  BtnRadio = AddGroupBox("", Left + 16, 164, 300, 62, hint);
  AvecRapport = AddRadioButton("Je veux un rapport de désinstallation", Left + 28, 178, 280, 20, hint, true);
  SansRapport = AddRadioButton("Je n'ai pas besoin de ce rapport", Left + 28, 200, 280, 20, hint);
  Texte9 = AddLabel("", Left, 234, right - Left, 34);
  DefineSteps();
  Current = 'A';
}

void TAssDesinst::ShowStepControls(bool list, bool reportChoice) {
  Liste.SetVisible(list);
  for (const Control* c : {static_cast<const Control*>(&BtnRadio), static_cast<const Control*>(&AvecRapport),
                           static_cast<const Control*>(&SansRapport)})
    c->SetVisible(reportChoice);
}

void TAssDesinst::DefineSteps() {
  std::vector<WizardStep> steps;
  WizardStep a = Step('A', 'B');
  a.texts = {" Sélectionnez l'application que vous souhaitez supprimer,", "si elle figure dans la liste ci-dessous."};
  a.previousEnabled = false;
  a.configurationVisible = false;
  a.enter = [this] {
    Texte9.SetText(" Sinon, passez directement à l'étape suivante.");
    ShowStepControls(true, false);
    ApplicationName.clear();
    UninstallCommand.clear();
    ReportWanted = UninstallerFailed = ListingFailed = false;
    FillApplications();
  };
  steps.push_back(a);

  WizardStep b = Step('B', 'C');
  b.previous = 'A';
  b.configurationVisible = false;
  b.enter = [this] {
    Texte9.SetText("");
    ShowStepControls(false, false);
    ChooseApplication();
  };
  steps.push_back(b);

  WizardStep c = Step('C', 'D');
  c.previous = 'B';
  c.enter = [this] {
    Texte9.SetText("");
    ReportWanted = AvecRapport.Checked();
    ShowStepControls(false, false);
    BtnConfig.SetText("Configuration");
    BtnConfig.SetVisible(ReportWanted);
    if (ReportWanted) {
      Texte[0].SetText(" Cliquez sur \"Configuration\" pour déterminer quels");
      Texte[1].SetText("disques et fichiers vous voulez analyser.");
    }
    Texte[3].SetText(" Attention !  Quand vous cliquerez sur \"Suivant\",");
    Texte[4].SetText(ApplicationName);
    Texte[5].SetText("sera définitivement effacé.");
  };
  steps.push_back(c);

  WizardStep d = Step('D', 'E');
  d.texts = {" Le programme de désinstallation fourni avec"};
  d.previousEnabled = false;
  d.configurationVisible = false;
  d.enter = [this] {
    ShowStepControls(false, false);
    returnStep_ = 'D';
    Texte[1].SetText(ApplicationName);
    Texte[2].SetText(UninstallerFailed ? "n'a pas fonctionné correctement." : "a bien fonctionné.");
    if (ReportWanted) {
      Texte[3].SetText(" Cliquez sur \"Rapport\" pour voir ce qui a été");
      Texte[4].SetText("effectivement supprimé.");
      BtnConfig.SetText("Rapport");
      BtnConfig.SetVisible(true);
    }
    Texte9.SetText(" Si l'installation a été faite avec Pivalune, continuez pour terminer le nettoyage de votre "
                   "disque dur.");
  };
  steps.push_back(d);

  WizardStep e = Step('E', 'F');
  e.texts = {" Sélectionnez le rapport d'installation de Pivalune pour", "l'application à supprimer."};
  e.nextEnabled = false;  // until a report is chosen
  e.enter = [this] {
    Previous = returnStep_;
    BtnConfig.SetText("Archive");
    Texte9.SetText(" Cliquez sur \"Archive\" pour récupérer un fichier sur disquette.");
    ShowStepControls(true, false);
    FillInstallationReports();
  };
  steps.push_back(e);

  WizardStep f = Step('F', 'G');
  f.previous = 'E';
  f.configurationVisible = false;
  f.enter = [this] {
    Texte9.SetText("");
    TakeReport();
    ShowStepControls(false, false);
    Texte[3].SetText(" En cliquant sur \"Suivant\", tous les fichiers créés");
    Texte[4].SetText(ReportTitle);
    Texte[5].SetText("seront détruits.");
  };
  steps.push_back(f);

  WizardStep g = Step('G', 0);
  g.previousEnabled = false;
  g.finish = true;
  g.cancelVisible = false;
  g.configurationVisible = false;
  g.enter = [this] {
    ShowStepControls(false, false);
    if (ListingFailed) {
      Texte[0].SetText(" La désinstallation ne s'est pas déroulée correctement.");
      Texte[3].SetText(" Il s'agit sans doute d'une erreur de lecture ou d'écriture");
      Texte[4].SetText("sur le disque dur.");
      Texte9.SetText(" Essayez de nouveau après avoir réglé le problème.");
      return;
    }
    Texte9.SetText("");
    BtnConfig.SetText("Rapport");
    BtnConfig.SetVisible(true);
    Texte[0].SetText(" La désinstallation est terminée.");
    Texte[3].SetText(" Cliquez sur \"Rapport\" pour voir ce qui a été effacé.");
  };
  steps.push_back(g);

  WizardStep x = Step('X', 0);
  x.texts = {" Dans \"Propriétés pour Ajout/Suppression de programmes\",",
             "sélectionnez Pivalune dans la liste déroulante.", "",
             " Vous cliquerez ensuite sur le bouton \"Ajouter/Supprimer...\""};
  x.previous = 'B';
  x.finish = true;
  x.configurationVisible = false;
  x.enter = [this] {
    ShowStepControls(false, false);
    Texte9.SetText(" Mais il faut d'abord refermer Pivalune en cliquant sur \"Terminer\".");
    if (StartRemovalPanel) StartRemovalPanel(RemovalPanelCommand());
  };
  steps.push_back(x);
  TWizard::DefineSteps(std::move(steps));
}

void TAssDesinst::FormActivate() {
  TWizard::FormActivate();
  SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  // Coming back from the help viewer, or from a window the work shows,
  // leaves the step as it is (step X would start the panel again).
  if (!ActivationIsNewOpening() || working_ || Current == 'X') return;
  ShowStep(Current);
}

// ---- the lists -------------------------------------------------------------------------

void TAssDesinst::FillApplications() {
  HourGlass busy;
  Liste.Clear();
  for (const RegisteredApplication& application : ListRegisteredApplications())
    Liste.Add(RegisteredApplicationLine(application.displayName, application.uninstallString));
  FitLineList(Liste);
}

void TAssDesinst::FillInstallationReports() {
  HourGlass busy;
  Liste.Clear();
  try {
    ForEachFirstLine(Program.ProgramDirectory, "*.PV1", [&](const std::string& name, const std::string& firstLine) {
      Liste.Add(InstallationReportLine(firstLine, name));
    });
  } catch (const IoError& e) {
    ShowDiskError(e.code);
    ListingFailed = true;
  }
  FitLineList(Liste);
}

void TAssDesinst::ListeClick() {
  if (Liste.Selected() >= 0 && (Current == 'A' || Current == 'E')) BtnSuivant.SetEnabled(true);
}

// Step B: what the selection of step A leads to.
void TAssDesinst::ChooseApplication() {
  const int selected = Liste.Selected();
  const std::string entry = selected >= 0 ? Liste.Item(selected) : "";
  if (entry.empty()) {
    Texte[0].SetText(" Vous n'avez sélectionné aucune application dans");
    Texte[1].SetText("la liste proposée par Windows.");
    Texte[3].SetText(" Continuez pour voir la liste des applications dont");
    Texte[4].SetText("l'installation a été contrôlée par Pivalune.");
    Next = 'E';
    returnStep_ = 'B';
  } else if (entry.starts_with("Pivalune")) {
    // The program cannot remove itself while it runs: Windows' own tool does.
    Texte[1].SetText(" Vous avez demandé la suppression de Pivalune.");
    Texte[3].SetText(" Une application ne peut évidemment pas être effacée");
    Texte[4].SetText("pendant qu'elle fonctionne. Pivalune va donc lancer");
    Texte[5].SetText("l'outil de Windows 95 qui effectuera cette opération.");
    Texte9.SetText(" Déplacez les fenêtres si elles se chevauchent.");
    Next = 'X';
  } else {
    ApplicationName = WithoutTrailingBlanks(entry.substr(0, ApplicationNameWidth));
    UninstallCommand = entry.size() > ApplicationNameWidth ? entry.substr(ApplicationNameWidth) : "";
    Texte[0].SetText(" Vous avez choisi de supprimer");
    Texte[1].SetText(ApplicationName);
    Texte[3].SetText(" Pivalune peut vous fournir un rapport de désinstallation.");
    ShowStepControls(false, true);
    AvecRapport.SetChecked(true);
    SansRapport.SetChecked(false);
    Next = 'C';
  }
}

// Step F: the report chosen on step E, and the title its undo log is
// headed with.
void TAssDesinst::TakeReport() {
  const int selected = Liste.Selected();
  const std::string entry = selected >= 0 ? Liste.Item(selected) : "";
  ReportFile = entry.size() > ReportTitleWidth ? entry.substr(ReportTitleWidth) : "";
  ReportTitle = UndoTitleOf(WithoutTrailingBlanks(entry.substr(0, ReportTitleWidth)));
}

// ---- the buttons ---------------------------------------------------------------------

void TAssDesinst::BtnSuivantClick() {
  switch (Current) {
    case 'C':
      working_ = true;
      RunUninstaller();
      working_ = false;
      break;
    case 'F':
      working_ = true;
      RunUndo();
      working_ = false;
      break;
    case 'G':
      if (WizardClosesAfterRestartPrompt(this, restart_)) Close(mrOk);
      return;
    case 'X':
      // The program ends, so that Windows' tool can remove it.
      Close(mrOk);
      PostQuitMessage(0);
      return;
  }
  ShowStep(Next);
}

void TAssDesinst::BtnPrecedentClick() {
  if (Current == 'E') Liste.Clear();
  ShowStep(Previous);
}

void TAssDesinst::BtnConfigClick() {
  switch (Current) {
    case 'C':
      TWizard::BtnConfigClick();
      break;
    case 'D':
    case 'G':
      ShowDialogInstead(this, viewer_);
      break;
    case 'E':
      ShowDialogInstead(this, archive_);
      BtnSuivant.SetEnabled(false);
      FillInstallationReports();
      break;
  }
}

// ---- the work ---------------------------------------------------------------------------

// Next on step C: the application's own uninstaller, watched when a report
// is wanted (a state before it, one after it, their comparison in mode 4).
void TAssDesinst::RunUninstaller() {
  Program.AnalysedAppName = ApplicationName;
  // Until it has run, the uninstaller has not worked: a disk error before
  // it is no success on step D.
  UninstallerFailed = true;
  HourGlass busy;
  BtnConfig.SetVisible(false);
  for (const Button* b : {&BtnPrecedent, &BtnSuivant, &BtnAnnuler}) b->SetEnabled(false);
  try {
    if (ReportWanted) {
      Texte[0].SetText(" Pivalune enregistre l'état du système");
      Texte[1].SetText("avant la désinstallation.");
      RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      Program.RecordDrives = Program.Drives.substr(0, 10);
      Program.RecordTypes = Program.Types.substr(0, 10);
      BuildExclusionList(Program.ExclusionText);
      settings::Write(settings::Text::Des, ApplicationName);
      const std::string before = NewStateName();
      RecordState(before, this);
      settings::Write(settings::Text::Pred, before);
      HideWaitMessage();
    }
    ShowWindow(Handle(), SW_MINIMIZE);
    UninstallerFailed = !LaunchAndWait(UninstallCommand);
    ShowWindow(Handle(), SW_RESTORE);
    if (ReportWanted) {
      Texte[1].SetText("après la désinstallation.");
      RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      const std::string after = NewStateName();
      RecordState(after, this);
      settings::Write(settings::Text::Succ, after);
      ShowWaitMessage("Préparation de l'analyse.");
      Program.AnalysisMode = 4;
      CompareStates();
      DeleteStateFiles(settings::Read(settings::Text::Pred));
      DeleteStateFiles(after);
      settings::Write(settings::Text::Last, after + ".PV2");
    }
  } catch (const IoError& e) {
    HideWaitMessage();
    ShowWindow(Handle(), SW_RESTORE);
    ShowDiskError(e.code);
  }
  HideWaitMessage();
  BtnSuivant.SetEnabled(true);
  BtnAnnuler.SetEnabled(true);
}

// Next on step F: the undo of the installation report, in uninstall mode.
void TAssDesinst::RunUndo() {
  Program.UninstallMode = true;
  settings::Write(settings::Text::Pred, "");
  HourGlass busy;
  try {
    ShowWaitMessage("Suppression en cours.");
    UndoRun(ReportFile, ReportTitle);
    std::string log = ReportFile;
    if (!log.empty()) log.back() = '3';
    settings::Write(settings::Text::Last, log);
  } catch (const IoError& e) {
    HideWaitMessage();
    ShowDiskError(e.code);
    // Step G says that the uninstallation did not go through.
    ListingFailed = true;
  }
  HideWaitMessage();
}
