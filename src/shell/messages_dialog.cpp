#include "shell/messages_dialog.h"

#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"

namespace {

constexpr int ClientWidth = 360, ClientHeight = 157, BarHeight = 22;
constexpr int ButtonWidth = 80, ButtonHeight = 25;

constexpr const char* HintConfirmer = " sélectionnez la fréquence des messages aparaissant à l'écran";

}  // namespace

TAvertissement::TAvertissement(HWND owner) {
  if (!CreateForm(owner, Title, ClientWidth, ClientHeight, WS_CAPTION | WS_SYSMENU)) return;
  HelpContext = HelpContextDialog;

  GroupeConfirmer = AddGroupBox("Pivalune demandera de confirmer ", 8, 4, 344, 90, HintConfirmer);
  toujours = AddRadioButton("toutes les décisions", 22, 24, 320, 20, HintConfirmer, true);
  parfois = AddRadioButton("les décisions importantes", 22, 45, 320, 20, HintConfirmer);
  jamais = AddRadioButton("seulement les décisions très importantes", 22, 66, 320, 20, HintConfirmer);
  PanelConfirmer = AddHintArea(8, 4, 344, 90, HintConfirmer);

  const int buttonsTop = 102, gap = 12;
  const int left = (ClientWidth - 3 * ButtonWidth - 2 * gap) / 2;
  btnOK = AddButton("OK", left, buttonsTop, ButtonWidth, ButtonHeight, [this] { btnOKClick(); },
                    HintOk, true);
  // The radio buttons end before OK: the arrow keys stay among them.
  SetWindowLongPtrA(btnOK.Handle(), GWL_STYLE, GetWindowLongPtrA(btnOK.Handle(), GWL_STYLE) | WS_GROUP);
  btnAnnuler = AddButton("Annuler", left + ButtonWidth + gap, buttonsTop, ButtonWidth, ButtonHeight,
                         [this] { btnAnnulerClick(); }, HintCancel);
  btnAide = AddButton("Aide", left + 2 * (ButtonWidth + gap), buttonsTop, ButtonWidth, ButtonHeight,
                      [this] { btnAideClick(); }, HintHelp);
  BarredEtat = AddHintBar(BarHeight);
}

void TAvertissement::FormActivate() {
  // Coming back from another program (the help viewer, say) is no new
  // opening: the user's choice so far stays selected.
  if (!ActivationIsNewOpening()) return;
  btnAide.SetEnabled(Program.HelpAvailable);
  const int level = Program.ConfirmLevel;
  toujours.SetChecked(level != 1 && level != 2);
  parfois.SetChecked(level == 2);
  jamais.SetChecked(level == 1);
}

void TAvertissement::btnOKClick() {
  BarredEtat.SetText("");
  Program.ConfirmLevel = jamais.Checked() ? 1 : parfois.Checked() ? 2 : 3;
  settings::Write(settings::Number::Code, Program.ConfirmLevel);
  Close(mrOk);
}

void TAvertissement::btnAnnulerClick() {
  BarredEtat.SetText("");
  Close(mrCancel);
}

void TAvertissement::btnAideClick() {
  BarredEtat.SetText("");
  ShowHelp(Handle(), HelpContext);
}

bool TAvertissement::FormCloseQuery() {
  // Escape and the close box leave like Cancel.
  BarredEtat.SetText("");
  return true;
}
