// TFilesSearch: walks a directory tree from a starting directory and
// reports every entry whose name matches a mask and whose attributes pass
// its switches, through OnFound. The files of a directory come after those
// of all its sub-directories. The walk runs on the user-interface thread
// and dispatches one pending window message after every entry it looks at,
// so that timers tick and windows repaint while it works.
#pragma once
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// A directory path or a file mask the component refuses.
class EDirectoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TFilesSearch {
 public:
  using Event = std::function<void(TFilesSearch& sender)>;

  // Runs one walk from InitialDir; returns when it is over.
  void Execute();

  // Checked as they are set: a bad value raises EDirectoryError and the
  // old one stays.
  void SetInitialDir(const std::string& directory);
  void SetFileFilter(const std::string& mask);
  void SetDirectoryFilter(const std::string& mask);
  const std::string& InitialDir() const { return initialDir_; }
  const std::string& FileFilter() const { return fileFilter_; }
  const std::string& DirectoryFilter() const { return directoryFilter_; }

  // During a walk: the directory whose sub-directories are being listed,
  // and the full path of the last entry reported.
  std::string CurrentDir() const { return currentDir_.substr(0, 254); }
  std::string FoundFile() const { return foundFile_.substr(0, 254); }

  // False while a walk runs, true after it; setting it true from OnFound
  // ends the walk at the next entry.
  bool Stopped = false;
  Event OnFound, OnSearchStatus;

  // The switches: each one that changes an attribute mask sets or clears
  // one of its bits.
  void SetExcludeNormalFiles(bool on) { excludeNormalFiles_ = on; }
  void SetExcludeReadOnlyFiles(bool on) { SetBit(fileExclusion_, 1, on); }
  void SetExcludeArchiveFiles(bool on) { SetBit(fileExclusion_, 32, on); }
  void SetIncludeHiddenFiles(bool on) { SetBit(fileAttributes_, 2, on); }
  void SetIncludeSystemFiles(bool on) { SetBit(fileAttributes_, 4, on); }
  void SetIncludeVolumeID(bool on) { SetBit(fileAttributes_, 8, on); }
  void SetIncludeDirectoryFiles(bool on);
  void SetExcludeNormalDir(bool on) { excludeNormalDir_ = on; }
  void SetExcludeReadOnlyDir(bool on) { SetBit(directoryExclusion_, 1, on); }
  void SetExcludeArchiveDir(bool on) { SetBit(directoryExclusion_, 32, on); }
  void SetIncludeHiddenDir(bool on) { SetBit(directoryAttributes_, 2, on); }
  void SetIncludeSystemDir(bool on) { SetBit(directoryAttributes_, 4, on); }
  void SetInSubDirectories(bool on) { inSubDirectories_ = on; }
  void SetOnlyDirectories(bool on);

  static constexpr const char* Credits = "Pivalune 98";

  // The checks, on their own.
  static bool IsValidDirectoryPath(const std::string& path);
  static bool IsValidFileMask(const std::string& mask);

 private:
  static void SetBit(uint8_t& mask, uint8_t bit, bool on) { mask = on ? mask | bit : mask & ~bit; }
  void SetStopped(bool stopped);
  void SearchDirectory(std::string directory, const std::string& mask);
  void SearchFiles(const std::string& directory, const std::string& mask);
  void DispatchOneMessage();

  std::string initialDir_, fileFilter_ = "*.*", directoryFilter_ = "*.*";
  std::string currentDir_, foundFile_;
  uint8_t fileAttributes_ = 33, fileExclusion_ = 0, directoryAttributes_ = 16, directoryExclusion_ = 0;
  bool excludeNormalFiles_ = false, excludeNormalDir_ = false, inSubDirectories_ = false;
  bool includeDirectoryFiles_ = false, onlyDirectories_ = false;
  // A quit message taken from the queue during a walk, posted again at its
  // end so that the program still ends.
  bool quitTaken_ = false;
  int quitCode_ = 0;
};
