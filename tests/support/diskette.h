// A diskette in drive A: or B: for a test: a folder linked as the drive
// letter, which Wine reports as a removable drive. A diskette of a given
// size is a small tmpfs (mounted as root, so that a write past its size
// fails as on a full diskette); it can then be write-protected (mounted
// read-only) and taken out of its drive (the link left dangling). What was
// mounted is unmounted and the link removed when the object goes, on every
// path out of the test.
#pragma once
#include <string>

class Diskette {
 public:
  // A diskette as large as the disk the tests run on.
  Diskette(char letter, const std::string& scratchDirectory);
  // A diskette of that many kilobytes; Mounted() says whether it could be made.
  Diskette(char letter, const std::string& scratchDirectory, int kilobytes);
  ~Diskette();
  Diskette(const Diskette&) = delete;
  Diskette& operator=(const Diskette&) = delete;

  // Mounting needs root: tests of small diskettes are skipped without it.
  static bool CanMount();
  bool Mounted() const { return mounted_; }
  std::string Root() const { return std::string(1, letter_) + ":\\"; }
  // The Windows path of the folder the drive shows, ending with "\".
  const std::string& Folder() const { return folder_; }

  void WriteProtect();
  void TakeOut();

 private:
  void Link(const std::string& unixTarget);

  char letter_;
  std::string folder_, mountPoint_, link_;
  bool mounted_ = false;
};
