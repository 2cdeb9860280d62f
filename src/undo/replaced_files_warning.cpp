#include "undo/replaced_files_warning.h"

#include "shell/program_state.h"
#include "ui/messages.h"
#include "ui/printing.h"

TAttention::TAttention(HWND owner) {
  if (!CreateForm(owner, "Pivalune 98 - Avertissement", 460, 280)) return;
  HelpContext = 12;
  Label1 = AddLabel("", 12, 10, 436, 16);
  Label3 = AddLabel("par une version plus ancienne. Certaines applications", 12, 28, 436, 16);
  Label4 = AddLabel("risquent de ne plus fonctionner correctement.", 12, 46, 436, 16);
  Liste = AddMemo(12, 68, 436, 160, true);
  fixedFont_ = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                           DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
  SetFont(Liste, fixedFont_);
  BtnOK = AddButton("OK", 60, 240, 90, 27, [this] { BtnOKClick(); }, "", true);
  BtnAide = AddButton("Aide", 185, 240, 90, 27, [this] { BtnAideClick(); }, HintHelp);
  BtnImprimer = AddButton("Imprimer", 310, 240, 90, 27, [this] { BtnImprimerClick(); });
}

void TAttention::SetLines(const std::vector<std::string>& lines) {
  lines_ = lines;
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
  Liste.SetText(text);
}

void TAttention::FormActivate() {
  Label1.SetText(lines_.size() == 1 ? "ATTENTION! Le fichier suivant a été remplacé"
                                    : "ATTENTION! Les fichiers suivants ont été remplacés");
  BtnAide.SetEnabled(Program.HelpAvailable);
}

void TAttention::BtnAideClick() { ShowHelp(Handle(), HelpContext); }

void TAttention::BtnImprimerClick() {
  std::vector<std::string> printed{"     FICHIERS A RESTAURER", ""};
  printed.insert(printed.end(), lines_.begin(), lines_.end());
  PrintLines(Handle(), fixedFont_, printed, "Pivalune 98 - Avertissement");
}
