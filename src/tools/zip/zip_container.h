// The ZIP container as both libraries know it: the local file header, the
// central directory header, the end of central directory record, the
// optional data descriptor, and how entry names are coded. The writer
// (PVZIP.DLL) and the readers (PVZIP.DLL growing or deleting, PVUNZIP.DLL)
// compile this one definition, so that what one writes the other reads.
//
// No ZIP64: an archive, an entry or an offset that needs it is refused.
// Everything read from an archive is untrusted: every length and offset is
// checked against the bytes that are really there before it is used.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zip {

constexpr uint32_t LocalHeaderSignature = 0x04034B50;
constexpr uint32_t CentralHeaderSignature = 0x02014B50;
constexpr uint32_t EndRecordSignature = 0x06054B50;
constexpr uint32_t DataDescriptorSignature = 0x08074B50;
constexpr uint32_t LocalHeaderSize = 30;
constexpr uint32_t CentralHeaderSize = 46;
constexpr uint32_t EndRecordSize = 22;
constexpr uint32_t DataDescriptorSize = 16;
constexpr uint32_t MaxCommentSize = 0xFFFF;

constexpr uint16_t MethodStored = 0;
constexpr uint16_t MethodDeflated = 8;
constexpr uint16_t FlagEncrypted = 0x0001;
constexpr uint16_t FlagDataDescriptor = 0x0008;
constexpr uint16_t FlagUtf8 = 0x0800;
// Version 2.0 of the format, written on Windows NTFS (host 11): the low byte
// of the external attributes is the DOS attribute byte, as for MS-DOS
// (host 0), but Info-ZIP's unzip reads a host 0 name through the OEM code
// page even when it carries the UTF-8 flag; a host 11 name it reads right.
constexpr uint16_t VersionMadeBy = (11 << 8) | 20;
constexpr uint16_t VersionNeededStored = 10;
constexpr uint16_t VersionNeededDeflated = 20;
// Sizes, offsets and counts at these values mean ZIP64.
constexpr uint32_t Zip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t Zip64Marker16 = 0xFFFF;
// The largest entry size, archive offset and entry count without ZIP64.
constexpr uint64_t MaxSize = 0xFFFFFFFE;
constexpr size_t MaxEntries = 0xFFFE;

// A failure the libraries report through the callback: a ZipError* code
// of zip_records.h and a French text.
struct Failure {
  int32_t code;
  std::string text;
};

struct Entry {
  std::string rawName;  // the name's bytes as stored in the archive
  std::string name;     // the same name in CP1252, "/" between directories
  uint16_t versionMadeBy = VersionMadeBy;
  uint16_t versionNeeded = VersionNeededDeflated;
  uint16_t flags = 0;
  uint16_t method = MethodDeflated;
  uint16_t time = 0;
  uint16_t date = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t size = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint64_t headerOffset = 0;  // of the local header, from the start of the file
  std::string extra;          // the central directory's extra field
  std::string comment;

  // The packed DOS date-time, date in the high word: later is larger.
  uint32_t DosTime() const { return (uint32_t{date} << 16) | time; }
  void SetDosTime(uint32_t packed);
  bool IsDirectory() const { return !name.empty() && name.back() == '/'; }
  bool Encrypted() const { return (flags & FlagEncrypted) != 0; }
  // Sizes at the ZIP64 marker: the real ones live in an extra field we refuse.
  bool NeedsZip64() const { return compressedSize == Zip64Marker32 || size == Zip64Marker32; }
  // The DOS attribute byte, when the writer's host gives one.
  uint32_t DosAttributes() const;
};

// The central directory of an archive.
struct Directory {
  std::vector<Entry> entries;
  std::string comment;
  uint64_t centralStart = 0;  // the entries' data must end before it
};

// Random access to the archive's bytes; ReadAt reads exactly `size` bytes
// or throws a Failure.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  virtual void ReadAt(uint64_t offset, void* data, size_t size) = 0;
};

// Reads and checks the central directory; throws a Failure (ZipErrorArchive
// for a damaged or truncated archive, ZipErrorUnsupported for ZIP64 or a
// multi-disk archive). `label` names the archive in the texts.
Directory ReadDirectory(ByteSource& archive, const std::string& label);
// Where the entry's data starts, once its local header is checked and its
// data found to lie wholly before the central directory.
uint64_t DataStart(ByteSource& archive, const Directory& directory, const Entry& entry);

// The records as written. The local header carries no extra field; with
// FlagDataDescriptor its CRC and sizes are 0 and DataDescriptor follows
// the data.
std::string LocalHeader(const Entry& entry);
std::string DataDescriptor(const Entry& entry);
std::string CentralHeader(const Entry& entry);
std::string EndRecord(size_t entryCount, uint64_t centralSize, uint64_t centralOffset, const std::string& comment);

// Names: a CP1252 name is stored as is when it is plain ASCII, otherwise as
// UTF-8 with FlagUtf8 (the choice of the common writers); `flags` gets the
// bit. A stored name reads as UTF-8 with FlagUtf8, else from the Unicode
// path extra field when one matches the name, else as IBM 437; characters
// that CP1252 lacks become "_".
std::string EncodeName(const std::string& cp1252Name, uint16_t& flags);
std::string DecodeName(const std::string& rawName, uint16_t flags, const std::string& extra);

}  // namespace zip
