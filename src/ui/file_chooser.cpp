#include "ui/file_chooser.h"

#include <windows.h>

#include "services/folding.h"

void FileChooser::FillDrives() {
  Drives.Clear();
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::string drive{letter, ':'};
    const UINT type = GetDriveTypeA((drive + "\\").c_str());
    if (type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR) Drives.Add(UpperCaseDrives ? FoldUpper(drive) : drive);
  }
}

void FileChooser::ChooseDirectory(const std::string& directory) {
  directory_ = directory.empty() || directory.back() == '\\' ? directory : directory + "\\";
  const std::string drive = FoldUpper(directory_.substr(0, 2));
  for (int i = 0; i < Drives.Count(); ++i)
    if (FoldUpper(Drives.Item(i)) == drive) Drives.Select(i);
  if (MakesDirectoryCurrent) SetCurrentDirectoryA(directory_.c_str());
  FillLists();
  if (DirectoryChanged) DirectoryChanged();
}

void FileChooser::Refresh() { FillLists(); }

// The directory list: the directory itself, its parent as "[..]", then its
// sub-directories; the file list: the files of the masks.
void FileChooser::FillLists() {
  if (directory_.empty()) return;
  Directories.Clear();
  Directories.Add(directory_);
  Directories.Select(0);
  std::string all = directory_ + "*";
  SendMessageA(Directories.Handle(), LB_DIR, DDL_DIRECTORY | DDL_EXCLUSIVE, reinterpret_cast<LPARAM>(all.c_str()));
  if (!Files.Handle()) return;
  Files.Clear();
  for (const std::string& mask : Masks) {
    std::string pattern = directory_ + mask;
    SendMessageA(Files.Handle(), LB_DIR, DDL_READWRITE | DDL_READONLY | DDL_ARCHIVE,
                 reinterpret_cast<LPARAM>(pattern.c_str()));
  }
}

void FileChooser::DrivesChange() {
  const int selected = Drives.Selected();
  if (selected >= 0) ChooseDirectory(FoldUpper(Drives.Item(selected)) + "\\");
}

void FileChooser::DirectoriesDblClick() {
  const int selected = Directories.Selected();
  if (selected < 0) return;
  const std::string item = Directories.Item(selected);
  if (item.size() < 3 || item.front() != '[' || item.back() != ']') return;
  const std::string name = item.substr(1, item.size() - 2);
  if (name == "..") {
    const size_t parent = directory_.rfind('\\', directory_.size() - 2);
    if (parent != std::string::npos) ChooseDirectory(directory_.substr(0, parent + 1));
  } else {
    ChooseDirectory(directory_ + name + "\\");
  }
}

std::string FileChooser::SelectedName() const {
  const int selected = Files.Handle() ? Files.Selected() : -1;
  return selected < 0 ? "" : Files.Item(selected);
}

std::string FileChooser::SelectedFile() const {
  const std::string name = SelectedName();
  return name.empty() ? "" : directory_ + name;
}

bool FileChooser::SelectName(const std::string& name) const {
  for (int i = 0; i < Files.Count(); ++i)
    if (CompareFileNames(Files.Item(i), name) == 0) {
      Files.Select(i);
      return true;
    }
  Files.Select(-1);
  return false;
}

void FileChooser::SetMaskText(const std::string& masks) {
  Masks.clear();
  size_t from = 0;
  for (size_t semicolon; (semicolon = masks.find(';', from)) != std::string::npos; from = semicolon + 1)
    if (semicolon > from) Masks.push_back(masks.substr(from, semicolon - from));
  if (from < masks.size()) Masks.push_back(masks.substr(from));
  FillLists();
}
