// The report viewer: shows a report or an undo log in an editable text box,
// opens another one through the chooser, prints, saves the edited text and
// compacts it. Created once at start-up and shown modally each time; every
// showing opens the report named by the setting Last.
#pragma once
#include <windows.h>

#include <string>

#include "ui/form.h"

class TChoisir;

class TRapport : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Rapport";
  static constexpr int HelpContextViewer = 140;
  // Wide enough for its seven buttons.
  static constexpr int MinimumWidth = 566, MinimumHeight = 396;

  TRapport(HWND owner, TChoisir& chooser);
  ~TRapport() override;

  ::Memo Memo;
  Button btnOuvrir, btnImprimer, btnEnregistrer, btnCompacter, btnRegistre, btnFermer, btnAide;
  Panel BarreDEtat;

  // The file name of the text shown: a plain name in the program directory.
  std::string CurrentReport;

 protected:
  void FormShow() override;
  void FormActivate() override;
  void FormResize() override;
  bool FormCloseQuery() override;

 private:
  void btnOuvrirClick();
  void btnImprimerClick();
  void btnEnregistrerClick();
  void btnCompacterClick();
  void btnRegistreClick();
  void btnFermerClick();
  void btnAideClick();

  // Loads the file into the text box; a text too large for the box goes to
  // the Windows editor and leaves the box empty. Raises IoError.
  void LoadReport(const std::string& name);
  void StartExternalEditor(const std::string& name);
  // Writes the text under the current report name; false after an
  // input/output error, which has been shown.
  bool SaveReport();
  // Offers to save a modified text; false when the user said Yes and the
  // saving failed, so that the text is not lost.
  bool OfferToSave();

  TChoisir& chooser_;
  HFONT memoFont_ = nullptr;
  bool openingPending_ = false;
  bool inChooser_ = false;
};
