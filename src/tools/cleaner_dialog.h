// "Pivalune 98 - Nettoyer": deletes the files of the Windows temporary
// directory and, on the chosen hard disks, every file whose name matches
// one of the masks kept in the settings; tells how many files went and how
// much room they freed at least.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "tools/files_search.h"
#include "ui/form.h"

class TNettoyage : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Nettoyer";
  static constexpr int HelpContextCleaner = 530;

  explicit TNettoyage(HWND owner);
  ~TNettoyage() override;

  GroupBox Disques;
  CheckBox uC, uD, uE, uF, uG, uH, uI, uJ, uK, uL;
  Label LabelMasques, LabelASupprimer;
  ListBox Liste;
  Edit Masque;
  Button btnAjouter, btnEnlever;
  CheckBox TempDir;
  Button BitBtn1, BitBtn2, BoutonAide;
  Panel BarredEtat;
  TFilesSearch Chercheur;

  // What the dialog works with, from the settings "Temp" and "TempFiles".
  std::string DrivesToClean, MaskText;
  uint32_t DeletedCount = 0;
  uint64_t FreedBlocks = 0;

 protected:
  void FormActivate() override;

 private:
  std::array<CheckBox*, 10> DriveBoxes();
  void MasqueChange();
  void btnAjouterClick();
  void ListeClick() { btnEnlever.SetEnabled(true); }
  void btnEnleverClick();
  void BitBtn1Click();
  void BitBtn2Click() { Close(mrCancel); }
  void BoutonAideClick();
  void ChercheurFound(TFilesSearch& search);
  void Timer1Timer();
  std::string CleanTemporaryDirectory();
  void CleanByMasks();

  HFONT listFont_ = nullptr;
};
