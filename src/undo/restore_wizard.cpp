#include "undo/restore_wizard.h"

#include "comparison/archive_dialog.h"
#include "comparison/compare_states.h"
#include "comparison/report_viewer.h"
#include "recording/catalogue_lines.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "recording/state_list.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"
#include "undo/restart_prompt.h"
#include "undo/undo_run.h"

namespace {

constexpr int Width = 560, Height = 330;
constexpr int Left = Width / 5 + 10;  // the text column, right of the picture

}  // namespace

std::string TAssRestaure::WarningTextOf(const std::string& line) {
  const int at = PosFolded("le ", line);
  return (at > 0 ? line.substr(static_cast<size_t>(at - 1), 24) : std::string()) + " seront perdues.";
}

TAssRestaure::TAssRestaure(HWND owner, TTransferer& archive, TRapport& viewer, TReStart& restart)
    : archive_(archive), viewer_(viewer), restart_(restart) {
  if (!CreateWizard(owner, Title, Width, Height, 6, 3, HelpContextRestore)) return;
  const int right = Width - 8;
  Liste = AddLineList(Left, 76, right - Left, 176, " choisissez l'état enregistré");
  OnNotify(Liste, LBN_SELCHANGE, [this] { ListeClick(); });
  const std::string hint = " choisissez ce que devient l'état enregistré";
  // Between the line above and the warning below.
  RG = AddGroupBox("L'état enregistré précédemment sera", Left + 16, 70, 260, 54, hint);
  Conserve = AddRadioButton("conservé sur le disque dur", Left + 28, 84, 240, 19, hint, true);
  Efface = AddRadioButton("effacé du disque dur", Left + 28, 103, 240, 19, hint);
  Conserve.SetChecked(true);
  Texte9 = AddLabel("", Left, 232, right - Left, 17);
  DefineSteps();
  Current = 'A';
}

void TAssRestaure::ShowStepControls(bool list, bool keepOrDelete) {
  Liste.SetVisible(list);
  for (const Control* c : {static_cast<const Control*>(&RG), static_cast<const Control*>(&Conserve),
                           static_cast<const Control*>(&Efface)})
    c->SetVisible(keepOrDelete);
}

void TAssRestaure::DefineSteps() {
  std::vector<WizardStep> steps;
  WizardStep a = WizardStep::Of('A', {" Choisissez l'état enregistré qui doit être restauré;",
                            "cliquez sur \"Archive\" pour récupérer un état sur", "sur disquette."});
  a.next = 'B';
  a.previousEnabled = false;
  a.nextEnabled = false;  // until a state is chosen
  a.enter = [this] {
    BtnConfig.SetText("Archive");
    ShowStepControls(true, false);
    FillRecordedStateList(*this, Liste);
  };
  steps.push_back(a);

  WizardStep b = WizardStep::Of('B', {"", "", " Cliquez sur \"Suivant\" pour lancer la restauration.", "",
                            " Toutes les modifications survenues depuis"});
  b.next = 'C';
  b.previous = 'A';
  b.configurationVisible = false;
  b.enter = [this] {
    ShowStepControls(false, true);
    Texte[5].SetText(warning_);
  };
  steps.push_back(b);

  WizardStep c = WizardStep::Of('C', {"", "", "", "", "Cliquez sur \"Rapport\" pour voir ce qui a été modifié."});
  c.previousEnabled = false;
  c.finish = true;
  c.cancelVisible = false;
  c.enter = [this] {
    BtnConfig.SetText("Rapport");
    ShowStepControls(false, false);
  };
  steps.push_back(c);
  TWizard::DefineSteps(std::move(steps));
}

void TAssRestaure::FormActivate() {
  TWizard::FormActivate();
  // Coming back from the help viewer, or from a window the restoration
  // shows, leaves the step as it is.
  if (!ActivationIsNewOpening() || working_) return;
  ShowStep(Current);
}

void TAssRestaure::ListeClick() {
  if (Current == 'A') BtnSuivant.SetEnabled(Liste.Selected() >= 0);
}

void TAssRestaure::BtnConfigClick() {
  if (Current == 'A') {
    ShowDialogInstead(this, archive_);
    FillRecordedStateList(*this, Liste);
    BtnSuivant.SetEnabled(false);
  } else if (Current == 'C') {
    ShowDialogInstead(this, viewer_);
  }
}

void TAssRestaure::BtnSuivantClick() {
  switch (Current) {
    case 'A':
      TakeSelection();
      break;
    case 'B':
      working_ = true;
      Restore();
      working_ = false;
      break;
    case 'C':
      if (WizardClosesAfterRestartPrompt(this, restart_)) Close(mrOk);
      return;
  }
  ShowStep(Next);
}

// The restore takes away what was added since: files are deleted outright.
void TAssRestaure::TakeSelection() {
  Program.UninstallMode = false;
  const int selected = Liste.Selected();
  chosenLine_ = selected >= 0 ? Liste.Item(selected) : "";
  warning_ = WarningTextOf(chosenLine_);
}

void TAssRestaure::Restore() {
  BtnPrecedent.SetEnabled(false);
  BtnSuivant.SetEnabled(false);
  BtnAnnuler.SetVisible(false);
  ShowStepControls(false, false);
  Texte[4].SetText(" Restauration en cours.");
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const std::string chosen = Program.StorageLocation + StateBaseOfLabel(chosenLine_);
  HourGlass busy;
  try {
    settings::Write(settings::Text::Pred, chosen);
    ReadStateHeader(chosen);
    const std::string now = NewStateName();
    RecordState(now, this);
    ShowWaitMessage("Préparation de l'analyse.");
    settings::Write(settings::Text::Succ, now);
    Program.AnalysisMode = 3;
    CompareStates();
    if (Efface.Checked()) DeleteStateFiles(chosen);
    DeleteStateFiles(now);
    UndoRun(now + ".PV2", "");
    settings::Write(settings::Text::Last, now + ".PV3");
  } catch (const IoError& e) {
    HideWaitMessage();
    ShowDiskError(e.code);
  }
  HideWaitMessage();
}
