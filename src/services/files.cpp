#include "services/files.h"

#include <windows.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "services/io_error.h"

namespace {

// The one transfer buffer of the copy and the checksum.
char TransferBuffer[2048];

HANDLE OpenRaw(const std::string& name, DWORD access, DWORD disposition) {
  return CreateFileW(WideName(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD AttributesOf(const std::string& name) { return GetFileAttributesW(WideName(name).c_str()); }

bool SetAttributes(const std::string& name, DWORD attributes) {
  return SetFileAttributesW(WideName(name).c_str(), attributes) != 0;
}

[[noreturn]] void RaiseLastError(const std::string& what) {
  throw IoError(static_cast<int>(GetLastError()), what);
}

// Reads the whole file through the transfer buffer, handing each block on.
template <typename Sink>
void ReadBlocks(HANDLE h, const std::string& name, Sink sink) {
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, TransferBuffer, sizeof TransferBuffer, &got, nullptr)) {
      DWORD code = GetLastError();
      CloseHandle(h);
      throw IoError(static_cast<int>(code), "cannot read " + name);
    }
    if (got == 0) return;
    sink(got);
  }
}

}  // namespace

std::wstring WideName(const std::string& name) {
  int length = static_cast<int>(name.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0)),
                    L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide.data(), static_cast<int>(wide.size()));
  // Directories may not be longer than MAX_PATH less an 8.3 name.
  bool absolute = name.size() >= 3 && name[1] == ':' && name[2] == '\\';
  if (absolute && name.size() >= MAX_PATH - 12) wide.insert(0, L"\\\\?\\");
  return wide;
}

std::string LongPathOf(const std::string& path) {
  const std::wstring wide = WideName(path);
  DWORD n = GetLongPathNameW(wide.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::wstring longer(n, L'\0');
  n = GetLongPathNameW(wide.c_str(), longer.data(), n);
  if (n == 0 || n >= longer.size()) return path;
  longer.resize(n);
  if (longer.rfind(L"\\\\?\\", 0) == 0) longer.erase(0, 4);
  int size = WideCharToMultiByte(CP_ACP, 0, longer.data(), static_cast<int>(longer.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, longer.data(), static_cast<int>(longer.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

bool FileExists(const std::string& name) {
  DWORD a = AttributesOf(name);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& name) {
  DWORD a = AttributesOf(name);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileForced(const std::string& name) {
  if (!FileExists(name)) return false;
  SetAttributes(name, FILE_ATTRIBUTE_ARCHIVE);
  return DeleteFileW(WideName(name).c_str()) != 0;
}

bool RemoveEmptyDirectory(const std::string& name) {
  std::string path = name;
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return RemoveDirectoryW(WideName(path).c_str()) != 0;
}

bool RecycleFile(const std::string& name) {
  if (!FileExists(name)) return false;
  // The shell takes full paths of any length, but not the "\\?\" form.
  std::wstring wide = WideName(name);
  if (wide.rfind(L"\\\\?\\", 0) == 0) wide.erase(0, 4);
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return false;
  std::wstring full(n + 1, L'\0');  // the path list ends with two zero characters
  if (GetFullPathNameW(wide.c_str(), n, full.data(), nullptr) == 0) return false;
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = full.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

int64_t FileSizeOf(const std::string& name) {
  HANDLE h = OpenRaw(name, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(h, &size);
  CloseHandle(h);
  return ok ? size.QuadPart : 0;
}

uint32_t PackedDosTimeOf(const FILETIME& utc) {
  FILETIME local{};
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time))
    return 0;
  return (static_cast<uint32_t>(date) << 16) | time;
}

FileStamp SaveFileStamp(const std::string& name) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideName(name).c_str(), GetFileExInfoStandard, &data)) return stamp;
  stamp.attributes = data.dwFileAttributes;
  stamp.date = PackedDosTimeOf(data.ftLastWriteTime);
  SetAttributes(name, FILE_ATTRIBUTE_ARCHIVE);
  return stamp;
}

void RestoreFileStamp(const std::string& name, const FileStamp& stamp) {
  HANDLE h = OpenRaw(name, GENERIC_WRITE, OPEN_EXISTING);
  if (h != INVALID_HANDLE_VALUE) {
    FILETIME local{}, utc{};
    if (DosDateTimeToFileTime(HIWORD(stamp.date), LOWORD(stamp.date), &local) &&
        LocalFileTimeToFileTime(&local, &utc))
      SetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);
  }
  SetAttributes(name, stamp.attributes);
}

// The source is opened for reading as it is and never written to: a
// recording must not move the date or the attributes of what it records.
// The copy gets the source's exact last-write time and its attributes.
bool CopyFileKeepingStamp(const std::string& source, const std::string& destination) {
  if (!FileExists(source)) return false;
  HANDLE in = CreateFileW(WideName(source).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) RaiseLastError("cannot open " + source);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(in, &info)) {
    DWORD code = GetLastError();
    CloseHandle(in);
    throw IoError(static_cast<int>(code), "cannot read " + source);
  }
  // A read-only destination left by an earlier copy would refuse the truncation.
  SetAttributes(destination, FILE_ATTRIBUTE_ARCHIVE);
  HANDLE out = OpenRaw(destination, GENERIC_WRITE, CREATE_ALWAYS);
  if (out == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    CloseHandle(in);
    throw IoError(static_cast<int>(code), "cannot create " + destination);
  }
  try {
    ReadBlocks(in, source, [&](DWORD got) {
      DWORD written = 0;
      if (!WriteFile(out, TransferBuffer, got, &written, nullptr) || written != got) {
        DWORD code = GetLastError();
        CloseHandle(in);
        throw IoError(code ? static_cast<int>(code) : ERROR_DISK_FULL,
                      "cannot write " + destination);
      }
    });
  } catch (const IoError&) {
    CloseHandle(out);
    throw;
  }
  CloseHandle(in);
  bool dated = SetFileTime(out, nullptr, nullptr, &info.ftLastWriteTime) != 0;
  DWORD code = GetLastError();
  CloseHandle(out);
  if (!dated) throw IoError(static_cast<int>(code), "cannot date " + destination);
  SetAttributes(destination, info.dwFileAttributes &
                                 (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
  return true;
}

void ClearSpecialAttributes(const std::string& name) {
  DWORD a = AttributesOf(name);
  if (a == INVALID_FILE_ATTRIBUTES) return;
  SetAttributes(name, a & FILE_ATTRIBUTE_ARCHIVE ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL);
}

void SetReadOnly(const std::string& name) {
  DWORD a = AttributesOf(name);
  if (a == INVALID_FILE_ATTRIBUTES) return;
  SetAttributes(name, a | FILE_ATTRIBUTE_READONLY);
}

DosDateTime UnpackDosDateTime(uint32_t packed) {
  DosDateTime t;
  t.second = static_cast<int>(packed & 0x1F) * 2;
  t.minute = static_cast<int>((packed >> 5) & 0x3F);
  t.hour = static_cast<int>((packed >> 11) & 0x1F);
  t.day = static_cast<int>((packed >> 16) & 0x1F);
  t.month = static_cast<int>((packed >> 21) & 0x0F);
  t.year = static_cast<int>((packed >> 25) & 0x7F) + 1980;
  return t;
}

namespace {

struct CrcTable {
  uint32_t entries[256];
  CrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
  }
};
const CrcTable Crc;

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < length; ++i) crc = Crc.entries[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

uint32_t FileCrc32(const std::string& name) {
  HANDLE h = OpenRaw(name, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return 0xFFFFFFFFu;
  uint32_t crc = 0xFFFFFFFFu;
  try {
    ReadBlocks(h, name, [&](DWORD got) { crc = Crc32Update(crc, TransferBuffer, got); });
  } catch (const IoError&) {
    return 0xFFFFFFFFu;  // ReadBlocks closed the file
  }
  CloseHandle(h);
  return ~crc;  // 0 for an empty file
}

bool FileSizeAndCrc32(const std::string& name, uint64_t& size, uint32_t& crc) {
  HANDLE h = CreateFileW(WideName(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<char> block(1 << 16);
  uint32_t running = 0xFFFFFFFFu;
  uint64_t total = 0;
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    running = Crc32Update(running, block.data(), got);
    total += got;
  }
  CloseHandle(h);
  if (!ok) return false;
  size = total;
  crc = ~running;
  return true;
}

bool RenameFileReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(WideName(from).c_str(), WideName(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool ReadFileBytes(const std::string& name, std::string& bytes) {
  HANDLE h = OpenRaw(name, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string read;
  char block[1 << 14];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, block, sizeof block, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    read.append(block, got);
  }
  CloseHandle(h);
  if (ok) bytes = std::move(read);
  return ok;
}

namespace {

HANDLE OpenDirectoryForDating(const std::wstring& directory) {
  return CreateFileW(directory.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

DirectoryDateKept::DirectoryDateKept(const std::string& fileInIt) {
  const size_t slash = fileInIt.rfind('\\');
  if (slash == std::string::npos) return;
  directory_ = WideName(fileInIt.substr(0, slash + 1));
  HANDLE h = OpenDirectoryForDating(directory_);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME written{};
  if (GetFileTime(h, nullptr, nullptr, &written))
    time_ = (uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
  CloseHandle(h);
}

DirectoryDateKept::~DirectoryDateKept() {
  if (time_ == 0) return;
  HANDLE h = OpenDirectoryForDating(directory_);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME written{static_cast<DWORD>(time_), static_cast<DWORD>(time_ >> 32)};
  SetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
}

bool ReplaceFileBytes(const std::string& name, const std::string& bytes) {
  DirectoryDateKept dated(name);
  const size_t slash = name.rfind('\\');
  const std::string work = (slash == std::string::npos ? "" : name.substr(0, slash + 1)) + "~~pvini.tmp";
  HANDLE h = OpenRaw(work, GENERIC_WRITE, CREATE_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.empty() ||
            (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size());
  ok = FlushFileBuffers(h) && ok;
  CloseHandle(h);
  const DWORD attributes = AttributesOf(name);
  if (ok && attributes != INVALID_FILE_ATTRIBUTES) SetAttributes(name, FILE_ATTRIBUTE_ARCHIVE);
  if (ok) ok = RenameFileReplacing(work, name);
  if (attributes != INVALID_FILE_ATTRIBUTES) SetAttributes(name, attributes);
  if (!ok) DeleteFileForced(work);
  return ok;
}

uint64_t LastWriteTimeOf(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideName(name).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

bool FreeBytesOf(const std::string& root, uint64_t& bytes, int& errorCode) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) {
    errorCode = static_cast<int>(GetLastError());
    bytes = 0;
    return false;
  }
  bytes = available.QuadPart;
  errorCode = 0;
  return true;
}

int MediaErrorCode(const std::string& path, int code) {
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return code;
  const std::string root = path.substr(0, 3);
  // Wine may also call a diskette drive it first meets empty no drive at all.
  const UINT type = GetDriveTypeA(root.c_str());
  const bool diskette = type == DRIVE_REMOVABLE ||
                        (type == DRIVE_NO_ROOT_DIR && (root[0] == 'A' || root[0] == 'B' || root[0] == 'a' || root[0] == 'b'));
  const bool missingDiskette = diskette && GetFileAttributesA(root.c_str()) == INVALID_FILE_ATTRIBUTES;
  return missingDiskette ? ERROR_NOT_READY : code;
}

bool ReadFirstLine(const std::string& name, std::string& line) {
  HANDLE h = OpenRaw(name, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buffer[512];
  DWORD got = 0;
  bool ok = ReadFile(h, buffer, sizeof buffer, &got, nullptr) != 0;
  CloseHandle(h);
  if (!ok) return false;
  std::string_view text(buffer, got);
  line = std::string(text.substr(0, text.find_first_of("\r\n")));
  return true;
}

bool SameFileContents(const std::string& a, const std::string& b) {
  HANDLE first = OpenRaw(a, GENERIC_READ, OPEN_EXISTING);
  if (first == INVALID_HANDLE_VALUE) return false;
  HANDLE second = OpenRaw(b, GENERIC_READ, OPEN_EXISTING);
  if (second == INVALID_HANDLE_VALUE) {
    CloseHandle(first);
    return false;
  }
  std::vector<char> left(1 << 16), right(1 << 16);
  bool same = true;
  for (;;) {
    DWORD gotLeft = 0, gotRight = 0;
    if (!ReadFile(first, left.data(), static_cast<DWORD>(left.size()), &gotLeft, nullptr) ||
        !ReadFile(second, right.data(), static_cast<DWORD>(right.size()), &gotRight, nullptr) ||
        gotLeft != gotRight || std::memcmp(left.data(), right.data(), gotLeft) != 0) {
      same = false;
      break;
    }
    if (gotLeft == 0) break;
  }
  CloseHandle(first);
  CloseHandle(second);
  return same;
}

void ForEachFirstLine(const std::string& directory, const std::string& pattern,
                      const std::function<void(const std::string& name, const std::string& firstLine)>& visit) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((directory + pattern).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> names;
  do
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  while (FindNextFileA(h, &found));
  FindClose(h);
  for (const std::string& name : names) {
    std::string firstLine;
    if (!FileExists(directory + name)) continue;
    if (!ReadFirstLine(directory + name, firstLine)) {
      const DWORD code = GetLastError();
      throw IoError(code ? static_cast<int>(code) : ERROR_READ_FAULT, "cannot read " + directory + name);
    }
    visit(name, firstLine);
  }
}
