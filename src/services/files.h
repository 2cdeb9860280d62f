// File operations that answer with a flag or a default instead of raising.
// The copy and the checksum raise IoError on a read or write failure.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Every operation takes names of any length: a path the catalogue can name
// (beyond MAX_PATH too) can be tested, copied and removed.
std::wstring WideName(const std::string& name);

// The long form of a path ("C:\PROGRA~1\X.DLL" gives "C:\Program Files\X.DLL"),
// or the path as it is when it names nothing.
std::string LongPathOf(const std::string& path);

// A file (not a directory) of that name exists.
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);
bool DeleteFileForced(const std::string& name);
// Removes a directory that is empty; a final "\" is allowed.
bool RemoveEmptyDirectory(const std::string& name);
bool RecycleFile(const std::string& name);
int64_t FileSizeOf(const std::string& name);

struct FileStamp {
  uint32_t attributes = 0;
  uint32_t date = 0;  // packed DOS date-time, local time
};
// Saving also leaves the file archive-only, so that it can be opened.
FileStamp SaveFileStamp(const std::string& name);
void RestoreFileStamp(const std::string& name, const FileStamp& stamp);
bool CopyFileKeepingStamp(const std::string& source, const std::string& destination);

void ClearSpecialAttributes(const std::string& name);
void SetReadOnly(const std::string& name);

struct DosDateTime {
  int year, month, day, hour, minute, second;
};
DosDateTime UnpackDosDateTime(uint32_t packed);
// The packed DOS date-time (local time) of a file time in UTC.
uint32_t PackedDosTimeOf(const struct _FILETIME& utc);

// IEEE 802.3 CRC-32 of the file's contents; FFFFFFFF when it cannot be read.
uint32_t FileCrc32(const std::string& name);
// The size and CRC-32 of a whole file, read in large blocks; false when the
// file cannot be opened or read.
bool FileSizeAndCrc32(const std::string& name, uint64_t& size, uint32_t& crc);
// The first line of a file, without its line end; only the beginning of
// the file is read (a title line of a large report). False when the file
// cannot be opened or read.
bool ReadFirstLine(const std::string& name, std::string& line);
// The first line of every file of a directory that matches a pattern
// ("*.000"), hidden and system ones too, with the file's name. A file that
// cannot be read raises IoError, once the files before it have been given.
void ForEachFirstLine(const std::string& directory, const std::string& pattern,
                      const std::function<void(const std::string& name, const std::string& firstLine)>& visit);
// Whether two files hold the same bytes, read in large blocks side by side;
// false when either cannot be read.
bool SameFileContents(const std::string& a, const std::string& b);
// The whole contents of a file; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& name, std::string& bytes);
// Gives a file new contents without ever leaving it half written: the bytes
// go to a work file beside it, which then takes its name; its attributes
// stay. False, the file untouched, when that cannot be done.
bool ReplaceFileBytes(const std::string& name, const std::string& bytes);
// The last-write time of a file in 100-nanosecond units, 0 when it has none.
uint64_t LastWriteTimeOf(const std::string& name);
// Puts the last-write date of the directory holding a file back when it
// goes out of scope: a work file made and deleted beside the file is no
// change to the directory, which NT and Wine would date anew for it.
class DirectoryDateKept {
 public:
  explicit DirectoryDateKept(const std::string& fileInIt);
  ~DirectoryDateKept();
  DirectoryDateKept(const DirectoryDateKept&) = delete;
  DirectoryDateKept& operator=(const DirectoryDateKept&) = delete;

 private:
  std::wstring directory_;
  uint64_t time_ = 0;
};

// Renames a file, replacing one of the new name.
bool RenameFileReplacing(const std::string& from, const std::string& to);
// The same CRC over bytes in memory, for callers that already hold them.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);

// The free bytes of the drive of a root ("A:\"); false, with the system's
// error code, when the drive cannot be reached (no diskette in it).
bool FreeBytesOf(const std::string& root, uint64_t& bytes, int& errorCode);
// The code a disk error on a path is shown with. Wine answers "path not
// found" for a diskette drive with no diskette where Windows answers "not
// ready": a removable drive whose root cannot be reached has no diskette.
int MediaErrorCode(const std::string& path, int code);
