#include "comparison/compare_wizard.h"

#include "comparison/archive_dialog.h"
#include "comparison/compare_states.h"
#include "comparison/report_viewer.h"
#include "recording/catalogue_lines.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "recording/state_list.h"
#include "services/io_error.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"
#include "undo/replaced_files_warning.h"

namespace {

constexpr int Width = 560, Height = 330;
constexpr int Left = Width / 5 + 10;  // the text column, right of the picture

}  // namespace

TAssCompare::TAssCompare(HWND owner, TTransferer& archive, TRapport& viewer, TAttention& warning)
    : archive_(archive), viewer_(viewer), warning_(warning) {
  if (!CreateWizard(owner, Title, Width, Height, 6, 3, HelpContextCompare)) return;
  const int right = Width - 8;
  Liste = AddLineList(Left, 76, right - Left, 176, " choisissez l'état enregistré");
  OnNotify(Liste, LBN_SELCHANGE, [this] { ListeClick(); });
  const std::string hint = " choisissez ce que devient l'état enregistré";
  BtnRadio = AddGroupBox("L'état enregistré doit être", Left + 16, 76, 260, 70, hint);
  Conserve = AddRadioButton("conservé sur le disque dur.", Left + 28, 96, 240, 20, hint, true);
  Efface = AddRadioButton("effacé du disque dur.", Left + 28, 118, 240, 20, hint);
  Conserve.SetChecked(true);
  Texte9 = AddLabel("", Left, 232, right - Left, 17);
  DefinePages();
  Current = 'A';
}

void TAssCompare::ShowPageControls(bool list, bool keepOrDelete) {
  Liste.SetVisible(list);
  for (const Control* c : {static_cast<const Control*>(&BtnRadio), static_cast<const Control*>(&Conserve),
                           static_cast<const Control*>(&Efface)})
    c->SetVisible(keepOrDelete);
}

void TAssCompare::DefinePages() {
  std::vector<WizardStep> pages;
  WizardStep a = WizardStep::Of('A', {" Choisissez l'état auquel doit être comparé l'état",
                            "actuel; cliquez sur \"Archive\" pour récupérer un état", "sur disquette."});
  a.next = 'B';
  a.previousEnabled = false;
  a.nextEnabled = false;  // until a state is chosen
  a.enter = [this] {
    BtnConfig.SetText("Archive");
    ShowPageControls(true, false);
    FillRecordedStateList(*this, Liste);
  };
  pages.push_back(a);

  WizardStep b = WizardStep::Of('B', {"", " A la fin de la comparaison, que voulez-vous faire",
                            "de l'état enregistré précédemment ?"});
  b.next = 'C';
  b.previous = 'A';
  b.configurationVisible = false;
  b.enter = [this] { ShowPageControls(false, true); };
  pages.push_back(b);

  WizardStep c = WizardStep::Of('C', {"", "", "Cliquez sur \"Suivant\" pour lancer la comparaison."});
  c.next = 'D';
  c.previous = 'B';
  c.configurationVisible = false;
  c.enter = [this] { ShowPageControls(false, false); };
  pages.push_back(c);

  WizardStep d = WizardStep::Of('D', {"", "", "", "", "Cliquez sur \"Rapport\" pour voir ce qui a été modifié."});
  d.previousEnabled = false;
  d.finish = true;
  d.cancelVisible = false;
  d.enter = [this] {
    BtnConfig.SetText("Rapport");
    ShowPageControls(false, false);
  };
  pages.push_back(d);
  DefineSteps(std::move(pages));
}

void TAssCompare::FormActivate() {
  TWizard::FormActivate();
  // Coming back from the help viewer, or from a window the comparison
  // shows, leaves the page as it is.
  if (!ActivationIsNewOpening() || working_) return;
  ShowStep(Current);
}

void TAssCompare::ListeClick() {
  if (Current == 'A') BtnSuivant.SetEnabled(Liste.Selected() >= 0);
}

void TAssCompare::BtnConfigClick() {
  if (Current == 'A') {
    ShowDialogInstead(this, archive_);
    FillRecordedStateList(*this, Liste);
    BtnSuivant.SetEnabled(false);
  } else if (Current == 'D') {
    ShowDialogInstead(this, viewer_);
  }
}

void TAssCompare::BtnSuivantClick() {
  if (Current == 'D') {
    Close(mrOk);
    return;
  }
  if (Current == 'C') {
    BtnPrecedent.SetEnabled(false);
    BtnSuivant.SetEnabled(false);
    BtnAnnuler.SetVisible(false);
    Texte[2].SetText("");
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    working_ = true;
    Compare();
    working_ = false;
  }
  ShowStep(Next);
}

// Records the machine as the chosen state was recorded, compares, and
// leaves the report of the after state, which is deleted.
void TAssCompare::Compare() {
  const int selected = Liste.Selected();
  if (selected < 0) return;
  const std::string chosen = StateBaseOfLabel(Liste.Item(selected));
  HourGlass busy;
  try {
    settings::Write(settings::Text::Pred, chosen);
    ReadStateHeader(chosen);
    const std::string after = NewStateName();
    RecordState(after, this);
    ShowWaitMessage("Préparation de l'analyse.");
    settings::Write(settings::Text::Succ, after);
    Program.AnalysisMode = 2;
    CompareStates();
    if (Efface.Checked()) DeleteStateFiles(chosen);
    DeleteStateFiles(after);
    settings::Write(settings::Text::Last, after + ".PV2");
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
