#include "tools/zip/zip_files.h"

#include <algorithm>
#include <cstring>

#include "tools/zip/zip_records.h"

namespace zip {

namespace {

constexpr uint32_t EarliestDosTime = (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00

}  // namespace

std::string SystemErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "Le document est introuvable.";
    case ERROR_PATH_NOT_FOUND: return "Le dossier est introuvable.";
    case ERROR_ACCESS_DENIED: return "L'accès au fichier est refusé.";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "Le fichier est utilisé par une autre application.";
    case ERROR_WRITE_PROTECT: return "La disquette est protégée contre l'écriture.";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return "Il n'y a plus de place sur le disque.";
    case ERROR_NOT_READY: return "Insérez une disquette dans le lecteur.";
    default: return "Erreur de lecture ou écriture sur disque (" + std::to_string(error) + ").";
  }
}

void Handle::Close() {
  if (Valid()) CloseHandle(h_);
  h_ = INVALID_HANDLE_VALUE;
}

// ---- reading -----------------------------------------------------------------------------

ArchiveFile::ArchiveFile(const std::string& path)
    : path_(path),
      file_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr)) {
  if (!file_.Valid())
    throw Failure{ZipErrorArchive, "Impossible d'ouvrir l'archive " + path + " : " + SystemErrorText(GetLastError())};
  LARGE_INTEGER size{};
  GetFileSizeEx(file_.Get(), &size);
  size_ = static_cast<uint64_t>(size.QuadPart);
}

void ArchiveFile::ReadAt(uint64_t offset, void* data, size_t size) {
  auto* bytes = static_cast<char*>(data);
  if (offset > size_ || size > size_ - offset)
    throw Failure{ZipErrorArchive, "Archive endommagée ou tronquée : " + path_ + " (lecture au-delà de la fin)."};
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN))
    throw Failure{ZipErrorArchive, "Lecture impossible de l'archive " + path_ + " : " + SystemErrorText(GetLastError())};
  while (size > 0) {
    const size_t got = ReadSome(file_.Get(), path_, bytes, size);
    if (got == 0) throw Failure{ZipErrorArchive, "Archive tronquée : " + path_ + "."};
    bytes += got;
    size -= got;
  }
}

Handle OpenForReading(const std::string& path) {
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) throw Failure{ZipErrorRead, "Impossible de lire " + path + " : " + SystemErrorText(GetLastError())};
  return file;
}

size_t ReadSome(HANDLE file, const std::string& path, void* data, size_t size) {
  DWORD got = 0;
  const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, StreamBufferSize));
  if (!ReadFile(file, data, ask, &got, nullptr))
    throw Failure{ZipErrorRead, "Erreur de lecture de " + path + " : " + SystemErrorText(GetLastError())};
  return got;
}

// ---- writing -----------------------------------------------------------------------------

void OutputFile::Write(const void* data, size_t size) {
  if (buffer_.size() + size > StreamBufferSize) Flush();
  if (size >= StreamBufferSize) {
    WriteThrough(data, size);
  } else {
    buffer_.append(static_cast<const char*>(data), size);
  }
  position_ += size;
}

void OutputFile::Patch(uint64_t offset, const std::string& bytes) {
  Flush();
  SeekTo(offset);
  WriteThrough(bytes.data(), bytes.size());
  SeekTo(position_);
}

void OutputFile::Truncate(uint64_t offset) {
  buffer_.clear();
  SeekTo(offset);
  if (!SetEndOfFile(file_)) Fail();
  position_ = offset;
}

void OutputFile::Flush() {
  if (buffer_.empty()) return;
  WriteThrough(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void OutputFile::WriteThrough(const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, StreamBufferSize));
    DWORD written = 0;
    if (!WriteFile(file_, bytes, ask, &written, nullptr) || written == 0) Fail();
    bytes += written;
    size -= written;
  }
}

void OutputFile::SeekTo(uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) Fail();
}

void OutputFile::Fail() {
  const DWORD error = GetLastError();
  throw Failure{ZipErrorWrite, "Écriture impossible dans " + path_ + " : " + SystemErrorText(error)};
}

HANDLE TemporaryFile::Create(const std::string& folder, const char* prefix, std::string& path) {
  char name[MAX_PATH + 1] = {};
  if (GetTempFileNameA(folder.c_str(), prefix, 0, name) == 0)
    throw Failure{ZipErrorWrite,
                  "Impossible de créer un fichier temporaire dans " + folder + " : " + SystemErrorText(GetLastError())};
  path = name;
  HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    DeleteFileA(name);
    throw Failure{ZipErrorWrite, "Impossible de créer " + path + " : " + SystemErrorText(error)};
  }
  return file;
}

TemporaryFile::TemporaryFile(const std::string& folder, const char* prefix)
    : file_(Create(folder, prefix, path_)), output_(file_.Get(), path_) {}

TemporaryFile::~TemporaryFile() {
  if (committed_) return;
  file_.Close();
  DeleteFileA(path_.c_str());
}

void TemporaryFile::SetLastWriteTime(const FILETIME& time) {
  output_.Flush();
  SetFileTime(file_.Get(), nullptr, nullptr, &time);
}

void TemporaryFile::Commit(const std::string& target) {
  output_.Flush();
  if (!FlushFileBuffers(file_.Get())) {
    const DWORD error = GetLastError();
    throw Failure{ZipErrorWrite, "Écriture impossible dans " + path_ + " : " + SystemErrorText(error)};
  }
  file_.Close();
  if (!MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    throw Failure{ZipErrorWrite, "Impossible de remplacer " + target + " : " + SystemErrorText(error)};
  }
  committed_ = true;
}

// ---- names and times ---------------------------------------------------------------------

uint32_t DosTimeOf(const FILETIME& utc) {
  FILETIME local{};
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return EarliestDosTime;
  const uint32_t packed = (uint32_t{date} << 16) | time;
  return std::max(packed, EarliestDosTime);
}

FILETIME FileTimeOf(uint32_t packedDosTime) {
  FILETIME local{}, utc{};
  DosDateTimeToFileTime(static_cast<WORD>(packedDosTime >> 16), static_cast<WORD>(packedDosTime & 0xFFFF), &local);
  LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

std::string FullPathOf(const std::string& path) {
  char full[MAX_PATH * 2] = {};
  char* namePart = nullptr;
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, &namePart);
  return (n == 0 || n >= sizeof full) ? path : std::string(full, n);
}

std::string FolderOf(const std::string& fullPath) {
  const size_t slash = fullPath.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".\\") : fullPath.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace zip
