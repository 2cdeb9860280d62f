// The files the libraries read and write, on the ANSI Win32 API. A failure
// throws a zip::Failure whose text names the file and says why in French.
//
// Nothing is ever written in place: a new archive or an extracted file is
// written to a temporary file beside its target, flushed, and only then
// renamed over the target, so that a full disk, a damaged entry, a stop
// asked by the callback or a target in use leaves the target as it was.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "tools/zip/zip_container.h"

namespace zip {

// Large buffers: the work is streamed through zlib without per-byte cost.
constexpr size_t StreamBufferSize = 1 << 20;

// "Il n'y a plus de place sur le disque." and the like for a Win32 error.
std::string SystemErrorText(DWORD error);

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return h_; }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  void Close();

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

// An archive opened for reading; others may read it too, not write it.
class ArchiveFile : public ByteSource {
 public:
  // Throws ZipErrorArchive when it cannot be opened.
  explicit ArchiveFile(const std::string& path);
  uint64_t Size() const override { return size_; }
  void ReadAt(uint64_t offset, void* data, size_t size) override;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  Handle file_;
  uint64_t size_ = 0;
};

// A new file written through a large buffer, that knows its position and
// can patch what it wrote before (a local header once its CRC is known).
class OutputFile {
 public:
  OutputFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
  void Write(const void* data, size_t size);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  uint64_t Position() const { return position_; }
  void Patch(uint64_t offset, const std::string& bytes);
  // Drops everything from `offset` on (an entry given up half written).
  void Truncate(uint64_t offset);
  void Flush();
  HANDLE Native() const { return file_; }

 private:
  void WriteThrough(const void* data, size_t size);
  void SeekTo(uint64_t offset);
  [[noreturn]] void Fail();

  HANDLE file_;
  std::string path_;
  std::string buffer_;
  uint64_t position_ = 0;
};

// A temporary file beside a target, named by GetTempFileName with the
// given three-letter prefix ("pvz0A1F.tmp"). It is deleted when the object
// goes unless Commit renamed it over the target.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& folder, const char* prefix);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  OutputFile& Output() { return output_; }
  // Sets the last-write time that the target will carry (UTC).
  void SetLastWriteTime(const FILETIME& time);
  // Flushes to the disk, closes and renames over `target` (replacing it).
  void Commit(const std::string& target);

 private:
  static HANDLE Create(const std::string& folder, const char* prefix, std::string& path);

  std::string path_;
  Handle file_;
  OutputFile output_;
  bool committed_ = false;
};

// An existing file opened for reading while others may read or write it.
Handle OpenForReading(const std::string& path);
// Reads up to `size` bytes; answers how many (0 at the end).
size_t ReadSome(HANDLE file, const std::string& path, void* data, size_t size);

// Local packed DOS date-time of a UTC file time (1980-01-01 when earlier),
// and back.
uint32_t DosTimeOf(const FILETIME& utc);
FILETIME FileTimeOf(uint32_t packedDosTime);

std::string FullPathOf(const std::string& path);
// The folder part of a full path, ending with "\".
std::string FolderOf(const std::string& fullPath);
bool FileExists(const std::string& path);

}  // namespace zip
