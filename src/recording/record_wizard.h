// "Pivalune 98 - Enregistrer l'état actuel": records the state of the
// machine on its own, outside an installation, on the hard disk (it then
// becomes the "before" state of the next comparison and the reference of
// the command line) or on a diskette.
#pragma once
#include <cstdint>
#include <string>

#include "ui/wizard.h"

// " Il reste 1 234 567 Ko libres sur le disque C.": a blank before the last
// three digits and before the last six, never more than two.
std::string FreeSpaceSentence(uint64_t kilobytes, char drive);

class TAssEnreg : public TWizard {
 public:
  static constexpr const char* Title = "Pivalune 98 - Enregistrer l'état actuel";
  static constexpr int HelpContextRecord = 30;

  explicit TAssEnreg(HWND owner);

  GroupBox EnregistrerSur;  // "Enregistrer sur"
  RadioButton DisquetteA, DisquetteB, Disquedur;

 protected:
  void FormActivate() override;
  void BtnSuivantClick() override;

 private:
  void DefineStepsOfRecording();
  void ShowStorageChoice(bool on);
  void Record();
  void StoreState(const std::string& name, char drive, uint32_t freeUnits, int freeSpaceError);
};
