#include "undo/ne_imports.h"

#include <cstdint>

namespace {

bool ReadAt(std::istream& in, uint64_t offset, void* buffer, size_t size) {
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
  return in.gcount() == static_cast<std::streamsize>(size);
}

bool ReadWord(std::istream& in, uint64_t offset, uint16_t& word) {
  unsigned char b[2];
  if (!ReadAt(in, offset, b, 2)) return false;
  word = static_cast<uint16_t>(b[0] | b[1] << 8);
  return true;
}

bool ReadLong(std::istream& in, uint64_t offset, uint32_t& value) {
  unsigned char b[4];
  if (!ReadAt(in, offset, b, 4)) return false;
  value = static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16) | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

}  // namespace

void AppendNeImportedModules(std::istream& in, std::vector<std::string>& names) {
  uint16_t mz = 0, relocations = 0;
  uint32_t header = 0;
  if (!ReadWord(in, 0, mz) || mz != 0x5A4D) return;            // "MZ"
  if (!ReadWord(in, 24, relocations) || relocations < 40) return;
  if (!ReadLong(in, 60, header)) return;
  uint16_t ne = 0, count = 0, references = 0, imported = 0;
  if (!ReadWord(in, header, ne) || ne != 0x454E) return;       // "NE"
  if (!ReadWord(in, header + 30, count) || !ReadWord(in, header + 40, references) ||
      !ReadWord(in, header + 42, imported))
    return;
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t nameOffset = 0;
    unsigned char length = 0;
    if (!ReadWord(in, header + references + 2u * i, nameOffset)) return;
    uint64_t at = static_cast<uint64_t>(header) + imported + nameOffset;
    if (!ReadAt(in, at, &length, 1)) return;
    std::string name(length, '\0');
    if (length && !ReadAt(in, at + 1, name.data(), length)) return;
    for (char& c : name)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    names.push_back(name.substr(0, 8));
  }
}
