// TZipArchiver: puts files into ZIP archives, deletes entries from them and
// extracts files from them through PVZIP.DLL and PVUNZIP.DLL, loaded by name
// at run time; lists an archive's entries by reading the archive itself.
// Everything runs on the user-interface thread: an operation blocks until
// its library returns, and the library's callbacks arrive inside that call.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

enum TAddSwitch { asDirNames, asRecurseDirs, asMove, asFreshen, asUpdate, asArchiveTime, asDosNames, asHiddenFiles, asEncrypt };
enum TExtractSwitch { esDirNames, esOverwrite, esFreshen, esUpdate, esTest };
using TAddSwitches = std::set<TAddSwitch>;
using TExtractSwitches = std::set<TExtractSwitch>;

enum ProgressType { NewFile = 0, ProgressUpdate = 1, EndOfBatch = 2 };

// A local file header as it stands after its signature, then its name.
struct ArchiveEntry {
  uint16_t VersionNeeded = 0, Flags = 0, Method = 0, ModificationTime = 0, ModificationDate = 0;
  uint32_t Crc32 = 0, CompressedSize = 0, UncompressedSize = 0;
  uint16_t FileNameLength = 0, ExtraFieldLength = 0;
  // CP1252: from UTF-8 when flag bit 11 is set, else from IBM 437, the
  // code page ZIP names are in by default.
  std::string FileName;
};

// A damaged archive: the entries read before the damage stay listed.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TZipArchiver {
 public:
  explicit TZipArchiver(HWND owner);
  TZipArchiver(const TZipArchiver&) = delete;
  TZipArchiver& operator=(const TZipArchiver&) = delete;

  const std::string& ArchiveName() const { return archiveName_; }
  // Reads the archive's entries at once (ReadContents).
  void SetArchiveName(const std::string& name);

  std::vector<std::string> FileSpecs;  // emptied by every operation that reaches its library
  TAddSwitches AddSwitches;
  int CompressionLevel = 9;
  TExtractSwitches ExtractSwitches;
  std::string ExtractDir, Password, SelfExtractorPath;
  bool Verbose = false, Trace = false;

  std::function<void(TZipArchiver&)> OnEntriesRead;
  std::function<void(TZipArchiver&, ProgressType, const std::string& fileName, int32_t fileSize)> OnProgress;
  std::function<void(TZipArchiver&, int errorCode, const std::string& message)> OnMessage;

  std::vector<ArchiveEntry> ArchiveEntries;
  int64_t FirstEntryOffset = 0;
  int ProcessedCount = 0;  // what the last library call answered; 0 when it failed
  // Cancel, set from a handler, asks the running library to stop.
  bool Cancel = false, Zipping = false, Unzipping = false;

  void AddFiles();
  void DeleteFiles();
  void ExtractFiles();
  // Raises EStreamError on a damaged archive, after OnEntriesRead.
  void ReadContents();

  // The libraries are shared by every component of the process. An
  // operation whose library is not loaded loads it for its own duration.
  void LoadZipLibrary();
  void LoadUnzipLibrary();
  static void FreeZipLibrary();
  static void FreeUnzipLibrary();
  static bool ZipLibraryLoaded();
  static bool UnzipLibraryLoaded();

 private:
  void ZipOperation(bool deleting);
  void ReadEntries(HANDLE file);

  HWND owner_;
  std::string archiveName_;
};
