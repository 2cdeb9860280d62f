// The frame every wizard shares: a picture on the left, text lines on the
// right, and the buttons "Aide", "Configuration", "< Précédent",
// "Suivant >" (or "Terminer") and "Annuler". Steps are letters, described
// as data; the work of a step runs when the step is entered.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/form.h"

struct WizardStep {
  char letter = 'A';
  std::vector<std::string> texts;  // Texte1, Texte2, ...: the lines not given are empty
  char next = 0, previous = 0;     // 0: none
  bool previousEnabled = true;
  bool nextEnabled = true;
  bool finish = false;             // the forward button reads "Terminer"
  bool configurationVisible = true;
  bool cancelVisible = true;
  // Runs once the texts and buttons are set: the controls of the step, then
  // its work (with the hourglass and the navigation disabled, see RunWork).
  std::function<void()> enter;

  // A step of that letter with those texts, the rest as above.
  static WizardStep Of(char letter, std::vector<std::string> texts = {}) {
    WizardStep step;
    step.letter = letter;
    step.texts = std::move(texts);
    return step;
  }
};

class TWizard : public TForm {
 public:
  ~TWizard() override;
  char Current = 0, Next = 0, Previous = 0;

  std::vector<Label> Texte;  // Texte[0] is Texte1
  Control Image;
  Button BtnAide, BtnConfig, BtnPrecedent, BtnSuivant, BtnAnnuler;
  Panel BarredEtat;

  // The Configuration button opens the configuration dialog, which the
  // shell provides.
  static void SetConfigurationDialog(std::function<void(TForm* caller)> open);
  // Opens it in place of the caller (the tools have a Configuration button too).
  static void OpenConfigurationDialog(TForm* caller);

 protected:
  // width x height client area; textLines lines of text on the right, the
  // first `upperLines` of them at the top, the others lower down.
  bool CreateWizard(HWND owner, const std::string& caption, int width, int height,
                    int textLines, int upperLines, int helpContext);
  void DefineSteps(std::vector<WizardStep> steps);
  // Makes the step current and shows it.
  void ShowStep(char letter);
  // A sorted list of lines of fixed columns (a title padded with blanks,
  // then a file name or a command), in the report font; FitLineList lets it
  // scroll sideways to its longest line once filled.
  ListBox AddLineList(int x, int y, int w, int h, const std::string& hint, bool sorted = true);

 public:
  void FitLineList(const ListBox& list) const;

 protected:
  // Runs the work of a step: hourglass, navigation disabled, the window
  // repainted first so that the step's texts are seen.
  void RunWork(const std::function<void()>& work);

  void FormActivate() override;
  virtual void BtnSuivantClick() { ShowStep(Next); }
  virtual void BtnPrecedentClick() { ShowStep(Previous); }
  virtual void BtnAnnulerClick() { Close(mrCancel); }
  virtual void BtnAideClick();
  virtual void BtnConfigClick();

 private:
  std::map<char, WizardStep> steps_;
  HFONT lineFont_ = nullptr;
};
