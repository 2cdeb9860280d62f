// "SECUINFO.PVL", the index of the system-file backup: which file lies in
// which "PVLN" archive and what it looked like when it was saved. Records
// of 48 bytes, numbered from 0 in file order, all numbers little-endian:
//   0  1   length of the name (0 to 20)
//   1  20  file name without directory, only the first `length` bytes count
//   21 1   alignment, no meaning
//   22 2   archive number, unsigned
//   24 8   date and time of the file, IEEE double: days since 30 December
//          1899, the fraction being the time of day
//   32 4   size, signed
//   36 4   file version, high part: major * 65536 + minor
//   40 4   file version, low part: release * 65536 + build
//   44 4   language of the file's version information, 0 when none
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* BackupIndexName = "SECUINFO.PVL";
constexpr size_t BackupIndexRecordSize = 48;
constexpr size_t BackupNameLength = 20;

struct BackupIndexRecord {
  std::string FileName;
  uint16_t ArchiveNumber = 0;
  double DateTime = 0;
  int32_t Size = 0;
  int32_t VersionHigh = 0, VersionLow = 0;
  int32_t Language = 0;
};

std::string EncodeBackupRecord(const BackupIndexRecord& record);
BackupIndexRecord DecodeBackupRecord(const char* bytes);

// "PVLN" + the number on at least four digits + ".ZIP": 3 gives PVLN0003.ZIP.
std::string ArchiveFileName(int number);
// The number of an archive from the four characters after "PVLN" of its
// name (with or without directory); 0 when they are no number.
int ArchiveNumberOf(const std::string& archiveName);

// A local file time as days since 30 December 1899; 0 for no time.
double DateTimeOfFileTime(const FILETIME& utc);
// "05/12/1998 14:03:06 ", and a midnight time written out: "05/12/1998 00:00:00".
std::string DateTimeText(double dateTime);

// The index file, open from the moment the backup dialog shows until it
// hides; each save writes one record in place.
class BackupIndex {
 public:
  BackupIndex() = default;
  ~BackupIndex() { Close(); }
  BackupIndex(const BackupIndex&) = delete;
  BackupIndex& operator=(const BackupIndex&) = delete;

  // Opens the index, creating it empty when it does not exist; false when
  // it can be neither opened nor created.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  // Whole records only: a cut last record is no record.
  int Count() const;
  bool Read(int number, BackupIndexRecord& record) const;
  // Writes record `number`; Count() appends. False when the disk refused.
  bool Write(int number, const BackupIndexRecord& record);
  // Every record's name, in record order.
  std::vector<std::string> Names() const;

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};
