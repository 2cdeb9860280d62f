#include "tools/zip/zip_container.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>

#include "tools/zip/zip_records.h"

namespace zip {

namespace {

constexpr uint16_t UnicodePathExtraId = 0x7075;
constexpr uint32_t CodePageIbm437 = 437;
constexpr uint32_t CodePageWindows = 1252;
// The end record is at most its own size plus the longest comment from the end.
constexpr uint64_t EndRecordSearchSpan = EndRecordSize + MaxCommentSize;

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | (uint32_t{Get16(p + 2)} << 16); }

Failure Damaged(const std::string& label, const std::string& why) {
  return {ZipErrorArchive, "Archive endommagée ou tronquée : " + label + " (" + why + ")."};
}

std::string Converted(const std::string& bytes, UINT fromCodePage, UINT toCodePage) {
  if (bytes.empty()) return bytes;
  const int count = static_cast<int>(bytes.size());
  const int wide = MultiByteToWideChar(fromCodePage, 0, bytes.data(), count, nullptr, 0);
  if (wide <= 0) return bytes;
  std::wstring text(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(fromCodePage, 0, bytes.data(), count, text.data(), wide);
  const bool toUtf8 = toCodePage == CP_UTF8;
  BOOL lossy = FALSE;
  const char* replacement = toUtf8 ? nullptr : "_";
  BOOL* lossyFlag = toUtf8 ? nullptr : &lossy;
  const int narrow = WideCharToMultiByte(toCodePage, 0, text.data(), wide, nullptr, 0, replacement, lossyFlag);
  if (narrow <= 0) return bytes;
  std::string result(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(toCodePage, 0, text.data(), wide, result.data(), narrow, replacement, lossyFlag);
  return result;
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The UTF-8 name of an Info-ZIP Unicode path extra field (version 1), when
// it was written for exactly this stored name (its CRC says so).
bool UnicodePathOf(const std::string& rawName, const std::string& extra, std::string& utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
  size_t at = 0;
  while (at + 4 <= extra.size()) {
    const uint16_t id = Get16(p + at), size = Get16(p + at + 2);
    if (at + 4 + size > extra.size()) return false;
    if (id == UnicodePathExtraId && size > 5 && p[at + 4] == 1) {
      const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(rawName.data()), static_cast<uInt>(rawName.size()));
      if (Get32(p + at + 5) != crc) return false;
      utf8.assign(extra, at + 9, size - 5);
      return true;
    }
    at += 4 + size;
  }
  return false;
}

// The last end record in the tail whose fields hold together.
struct EndRecordFound {
  uint64_t position = 0;
  uint16_t entryCount = 0;
  uint32_t centralSize = 0, centralOffset = 0;
  std::string comment;
};

bool FindEndRecord(ByteSource& archive, EndRecordFound& found) {
  const uint64_t size = archive.Size();
  if (size < EndRecordSize) return false;
  const uint64_t span = std::min(size, EndRecordSearchSpan);
  std::string tail(static_cast<size_t>(span), '\0');
  archive.ReadAt(size - span, tail.data(), tail.size());
  const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
  for (size_t at = tail.size() - EndRecordSize + 1; at-- > 0;) {
    if (Get32(t + at) != EndRecordSignature) continue;
    const uint16_t commentSize = Get16(t + at + 20);
    if (at + EndRecordSize + commentSize > tail.size()) continue;
    found.position = size - span + at;
    found.entryCount = Get16(t + at + 10);
    found.centralSize = Get32(t + at + 12);
    found.centralOffset = Get32(t + at + 16);
    found.comment.assign(tail, at + EndRecordSize, commentSize);
    const bool oneDisk = Get16(t + at + 4) == 0 && Get16(t + at + 6) == 0 && Get16(t + at + 8) == found.entryCount;
    if (!oneDisk) throw Failure{ZipErrorUnsupported, "Les archives en plusieurs volumes ne sont pas prises en charge."};
    return true;
  }
  return false;
}

// One central directory header at `at` of `central`; answers the offset
// of the next one.
size_t ParseCentralHeader(const std::string& central, size_t at, Entry& e, const std::string& label) {
  if (at + CentralHeaderSize > central.size()) throw Damaged(label, "répertoire central incomplet");
  const auto* p = reinterpret_cast<const unsigned char*>(central.data()) + at;
  if (Get32(p) != CentralHeaderSignature) throw Damaged(label, "en-tête du répertoire central invalide");
  const size_t nameSize = Get16(p + 28), extraSize = Get16(p + 30), commentSize = Get16(p + 32);
  const size_t end = at + CentralHeaderSize + nameSize + extraSize + commentSize;
  if (end > central.size()) throw Damaged(label, "répertoire central incomplet");
  e.versionMadeBy = Get16(p + 4);
  e.versionNeeded = Get16(p + 6);
  e.flags = Get16(p + 8);
  e.method = Get16(p + 10);
  e.time = Get16(p + 12);
  e.date = Get16(p + 14);
  e.crc = Get32(p + 16);
  e.compressedSize = Get32(p + 20);
  e.size = Get32(p + 24);
  e.internalAttributes = Get16(p + 36);
  e.externalAttributes = Get32(p + 38);
  e.headerOffset = Get32(p + 42);
  size_t field = at + CentralHeaderSize;
  e.rawName.assign(central, field, nameSize);
  e.extra.assign(central, field + nameSize, extraSize);
  e.comment.assign(central, field + nameSize + extraSize, commentSize);
  e.name = DecodeName(e.rawName, e.flags, e.extra);
  return end;
}

}  // namespace

void Entry::SetDosTime(uint32_t packed) {
  date = static_cast<uint16_t>(packed >> 16);
  time = static_cast<uint16_t>(packed & 0xFFFF);
}

uint32_t Entry::DosAttributes() const {
  const unsigned host = versionMadeBy >> 8;
  const bool dosLike = host == 0 || host == 11 || host == 14;  // MS-DOS, NTFS, VFAT
  return dosLike ? (externalAttributes & 0xFF) : 0;
}

Directory ReadDirectory(ByteSource& archive, const std::string& label) {
  EndRecordFound end;
  if (!FindEndRecord(archive, end)) throw Damaged(label, "fin du répertoire central introuvable");
  if (end.entryCount == Zip64Marker16 || end.centralSize == Zip64Marker32 || end.centralOffset == Zip64Marker32)
    throw Failure{ZipErrorUnsupported, "Les archives ZIP64 ne sont pas prises en charge : " + label + "."};
  if (uint64_t{end.centralOffset} + end.centralSize > end.position)
    throw Damaged(label, "répertoire central hors de l'archive");
  // Bytes before the archive (a self-extracting program) shift every offset.
  const uint64_t shift = end.position - end.centralSize - end.centralOffset;
  Directory directory;
  directory.comment = end.comment;
  directory.centralStart = shift + end.centralOffset;
  std::string central(end.centralSize, '\0');
  archive.ReadAt(directory.centralStart, central.data(), central.size());
  directory.entries.resize(end.entryCount);
  size_t at = 0;
  for (Entry& e : directory.entries) {
    at = ParseCentralHeader(central, at, e, label);
    if (e.headerOffset + LocalHeaderSize > end.centralOffset) throw Damaged(label, "en-tête local hors de l'archive");
    e.headerOffset += shift;
  }
  return directory;
}

uint64_t DataStart(ByteSource& archive, const Directory& directory, const Entry& entry) {
  unsigned char header[LocalHeaderSize];
  archive.ReadAt(entry.headerOffset, header, sizeof header);
  if (Get32(header) != LocalHeaderSignature)
    throw Failure{ZipErrorArchive, "Entrée endommagée : " + entry.name + " (en-tête local invalide)."};
  const uint64_t start = entry.headerOffset + LocalHeaderSize + Get16(header + 26) + Get16(header + 28);
  if (start + entry.compressedSize > directory.centralStart)
    throw Failure{ZipErrorArchive, "Entrée endommagée ou tronquée : " + entry.name + " (données hors de l'archive)."};
  return start;
}

std::string LocalHeader(const Entry& e) {
  const bool later = (e.flags & FlagDataDescriptor) != 0;
  std::string out;
  Put32(out, LocalHeaderSignature);
  Put16(out, e.versionNeeded);
  Put16(out, e.flags);
  Put16(out, e.method);
  Put16(out, e.time);
  Put16(out, e.date);
  Put32(out, later ? 0 : e.crc);
  Put32(out, later ? 0 : e.compressedSize);
  Put32(out, later ? 0 : e.size);
  Put16(out, static_cast<uint32_t>(e.rawName.size()));
  Put16(out, 0);
  return out + e.rawName;
}

std::string DataDescriptor(const Entry& e) {
  std::string out;
  Put32(out, DataDescriptorSignature);
  Put32(out, e.crc);
  Put32(out, e.compressedSize);
  Put32(out, e.size);
  return out;
}

std::string CentralHeader(const Entry& e) {
  std::string out;
  Put32(out, CentralHeaderSignature);
  Put16(out, e.versionMadeBy);
  Put16(out, e.versionNeeded);
  Put16(out, e.flags);
  Put16(out, e.method);
  Put16(out, e.time);
  Put16(out, e.date);
  Put32(out, e.crc);
  Put32(out, e.compressedSize);
  Put32(out, e.size);
  Put16(out, static_cast<uint32_t>(e.rawName.size()));
  Put16(out, static_cast<uint32_t>(e.extra.size()));
  Put16(out, static_cast<uint32_t>(e.comment.size()));
  Put16(out, 0);  // disk number
  Put16(out, e.internalAttributes);
  Put32(out, e.externalAttributes);
  Put32(out, static_cast<uint32_t>(e.headerOffset));
  return out + e.rawName + e.extra + e.comment;
}

std::string EndRecord(size_t entryCount, uint64_t centralSize, uint64_t centralOffset, const std::string& comment) {
  std::string out;
  Put32(out, EndRecordSignature);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entryCount));
  Put16(out, static_cast<uint32_t>(entryCount));
  Put32(out, static_cast<uint32_t>(centralSize));
  Put32(out, static_cast<uint32_t>(centralOffset));
  Put16(out, static_cast<uint32_t>(comment.size()));
  return out + comment;
}

std::string EncodeName(const std::string& cp1252Name, uint16_t& flags) {
  if (IsAscii(cp1252Name)) {
    flags &= ~FlagUtf8;
    return cp1252Name;
  }
  flags |= FlagUtf8;
  return Converted(cp1252Name, CodePageWindows, CP_UTF8);
}

std::string DecodeName(const std::string& rawName, uint16_t flags, const std::string& extra) {
  if (flags & FlagUtf8) return Converted(rawName, CP_UTF8, CodePageWindows);
  std::string utf8;
  if (UnicodePathOf(rawName, extra, utf8)) return Converted(utf8, CP_UTF8, CodePageWindows);
  if (IsAscii(rawName)) return rawName;
  return Converted(rawName, CodePageIbm437, CodePageWindows);
}

}  // namespace zip
