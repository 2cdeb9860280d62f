// A drive box, a directory list and a file list that follow one another, as
// the install wizard and the backup dialog show them: choosing a drive or
// opening a directory (a double click on "[name]" or "[..]") refills the
// lists below it. The form makes the controls and sends their events here.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

class FileChooser {
 public:
  ComboBox Drives;
  ListBox Directories;
  ListBox Files;  // may have no window: a chooser of directories only
  // Masks of the file list, each listed in turn ("*.exe", "pvln????.zip").
  std::vector<std::string> Masks;
  bool UpperCaseDrives = false;
  // Moving to a directory makes it the process's current directory.
  bool MakesDirectoryCurrent = false;
  // Runs once the lists show another directory.
  std::function<void()> DirectoryChanged;

  // The drives Windows knows now, asked letter by letter: the drive type
  // sees a drive connected since the program started, and a diskette drive
  // with no diskette in it.
  void FillDrives();
  // Shows that directory (its drive selected in the drive box).
  void ChooseDirectory(const std::string& directory);
  // Lists the directory again (files created or deleted since).
  void Refresh();
  // The directory shown, ending with "\".
  const std::string& Directory() const { return directory_; }
  // The file selected, with its directory, or "".
  std::string SelectedFile() const;
  // The name selected, without directory, or "".
  std::string SelectedName() const;
  // Selects the file of that name (without regard to case); false, with no
  // selection, when the directory has none.
  bool SelectName(const std::string& name) const;
  // Masks given as one text: "*.dll;*.ocx".
  void SetMaskText(const std::string& masks);

  // The events of the controls.
  void DrivesChange();
  void DirectoriesDblClick();

 private:
  void FillLists();

  std::string directory_;
};
