// "Pivalune 98 - Archivage": copies, moves or deletes recorded states and
// reports between the hard disk (the program directory) and up to two
// diskette drives. A state always goes as a whole. Created once at
// start-up; what the user chose stays from one showing to the next.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form.h"

// A line of the list: the title padded or cut to 70 characters, then the
// file name. The title of a state's index is "Etat des disques " + its
// date; that of a report or undo log is its first line, both without the
// first two characters of the line.
std::string ArchiveListLine(std::string_view fileName, std::string_view firstLine);
constexpr size_t ArchiveTitleWidth = 70;

class TTransferer : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Archivage";
  static constexpr int HelpContextArchive = 110;
  enum : uint8_t { OperationCopy = 0, OperationMove = 1, OperationDelete = 2 };

  explicit TTransferer(HWND owner);
  ~TTransferer() override;

  Label FichiersLabel;
  ListBox Liste;
  GroupBox Operation, De, Vers;
  RadioButton Copier, Deplacer, Supprimer;
  RadioButton DeA, DeB, DeC, VersA, VersB, VersC;
  Button btnOK, btnAnnuler, btnAide;
  Panel BarredEtat;

  // The source is the storage location of state files (Program); the
  // destination is the dialog's own: "" for the hard disk, else a root.
  uint8_t OperationChosen = OperationCopy;
  std::string Destination;
  std::string FirstRoot, SecondRoot;

 protected:
  void FormActivate() override;

 private:
  void CopierClick();
  void DeplacerClick();
  void SupprimerClick();
  void DeAClick() { SourceClick(FirstRoot); }
  void DeBClick() { SourceClick(SecondRoot); }
  void DeCClick();
  void VersAClick() { DestinationClick(FirstRoot); }
  void VersBClick() { DestinationClick(SecondRoot); }
  void VersCClick();
  void btnOKClick();
  void btnAnnulerClick();
  void btnAideClick();

  void SourceClick(const std::string& root);
  void DestinationClick(const std::string& root);
  void EnableDestinations(bool on);
  void CheckDestination();
  void FillList();
  std::vector<std::string> SelectedNames() const;
  void TransferSelected(const std::vector<std::string>& names);
  void DeleteSelected(const std::vector<std::string>& names);

  HFONT listFont_ = nullptr;
};
