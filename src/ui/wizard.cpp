#include "ui/wizard.h"

#include <algorithm>

#include "shell/program_state.h"
#include "ui/messages.h"

namespace {
std::function<void(TForm*)> ConfigurationDialog;
// "Configuration" needs 76 pixels and the longest text lines some 340 at
// Wine's fonts: the picture takes a fifth of the width, the texts the rest.
constexpr int ButtonWidth = 84, ButtonHeight = 25, HintHeight = 22;
}  // namespace

TWizard::~TWizard() {
  if (lineFont_) DeleteObject(lineFont_);
}

ListBox TWizard::AddLineList(int x, int y, int w, int h, const std::string& hint, bool sorted) {
  if (!lineFont_) lineFont_ = CreateReportFont();
  ListBox list = AddListBox(x, y, w, h, sorted, false, hint, nullptr, WS_HSCROLL);
  SetFont(list, lineFont_);
  return list;
}

void TWizard::FitLineList(const ListBox& list) const {
  size_t longest = 0;
  for (int i = 0; i < list.Count(); ++i) longest = std::max(longest, list.Item(i).size());
  const int width = static_cast<int>(longest + 1) * AverageCharacterWidth(lineFont_ ? lineFont_ : DefaultFont());
  SendMessageA(list.Handle(), LB_SETHORIZONTALEXTENT, width, 0);
}

void TWizard::SetConfigurationDialog(std::function<void(TForm*)> open) {
  ConfigurationDialog = std::move(open);
}

bool TWizard::CreateWizard(HWND owner, const std::string& caption, int width, int height,
                           int textLines, int upperLines, int helpContext) {
  if (!CreateForm(owner, caption, width, height)) return false;
  HelpContext = helpContext;
  const int pictureWidth = width / 5;
  const int buttonsTop = height - HintHeight - ButtonHeight - 10;
  Image = AddPicture(Picture::Wizard, 10, 10, pictureWidth - 10, buttonsTop - 20);
  const int textLeft = pictureWidth + 10, textWidth = width - textLeft - 8;
  for (int i = 0; i < textLines; ++i) {
    int top = i < upperLines ? 14 + 18 * i : (buttonsTop - 20) / 2 + 18 * (i - upperLines);
    Texte.push_back(AddLabel("", textLeft, top, textWidth, 17));
  }
  const int gap = (width - 5 * ButtonWidth) / 6;
  auto x = [&](int i) { return gap + i * (ButtonWidth + gap); };
  BtnAide = AddButton("Aide", x(0), buttonsTop, ButtonWidth, ButtonHeight, [this] { BtnAideClick(); }, HintHelp);
  BtnConfig = AddButton("Configuration", x(1), buttonsTop, ButtonWidth, ButtonHeight,
                        [this] { BtnConfigClick(); }, " permet de sélectionner les fichiers à surveiller");
  BtnPrecedent = AddButton("< Précédent", x(2), buttonsTop, ButtonWidth, ButtonHeight,
                           [this] { BtnPrecedentClick(); });
  BtnSuivant = AddButton("Suivant >", x(3), buttonsTop, ButtonWidth, ButtonHeight,
                         [this] { BtnSuivantClick(); }, "", true);
  BtnAnnuler = AddButton("Annuler", x(4), buttonsTop, ButtonWidth, ButtonHeight,
                         [this] { BtnAnnulerClick(); });
  BarredEtat = AddHintBar(HintHeight);
  return true;
}

void TWizard::DefineSteps(std::vector<WizardStep> steps) {
  steps_.clear();
  for (auto& step : steps) steps_[step.letter] = std::move(step);
}

void TWizard::ShowStep(char letter) {
  auto it = steps_.find(letter);
  if (it == steps_.end()) return;
  const WizardStep& step = it->second;
  Current = step.letter;
  Next = step.next;
  Previous = step.previous;
  for (size_t i = 0; i < Texte.size(); ++i) Texte[i].SetText(i < step.texts.size() ? step.texts[i] : "");
  BtnPrecedent.SetEnabled(step.previousEnabled);
  BtnSuivant.SetEnabled(step.nextEnabled);
  BtnSuivant.SetText(step.finish ? "Terminer" : "Suivant >");
  BtnConfig.SetVisible(step.configurationVisible);
  BtnAnnuler.SetVisible(step.cancelVisible);
  if (step.enter) step.enter();
}

void TWizard::RunWork(const std::function<void()>& work) {
  bool previous = BtnPrecedent.Enabled(), next = BtnSuivant.Enabled();
  BtnPrecedent.SetEnabled(false);
  BtnSuivant.SetEnabled(false);
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HourGlass busy;
  struct Restore {
    Button& p;
    Button& n;
    bool pe, ne;
    ~Restore() {
      p.SetEnabled(pe);
      n.SetEnabled(ne);
    }
  } restore{BtnPrecedent, BtnSuivant, previous, next};
  work();
}

void TWizard::FormActivate() { BtnAide.SetEnabled(Program.HelpAvailable); }

void TWizard::BtnAideClick() {
  BarredEtat.SetText("");
  ShowHelp(Handle(), HelpContext);
}

void TWizard::BtnConfigClick() { OpenConfigurationDialog(this); }

void TWizard::OpenConfigurationDialog(TForm* caller) {
  if (ConfigurationDialog) ConfigurationDialog(caller);
}
