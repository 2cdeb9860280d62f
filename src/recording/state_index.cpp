#include "recording/state_index.h"

#include <charconv>
#include <cstdio>

#include "services/text_lines.h"

namespace {

constexpr char SealMark = '*';

template <typename Number>
bool ReadNumber(std::string_view text, Number& value, int base = 10) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string MemberSealLine(const MemberSeal& seal) {
  char number[8];
  std::snprintf(number, sizeof number, "%03d", seal.number);
  std::string line = std::string(1, SealMark) + number;
  if (!seal.present) return line + " -";
  char crc[12];
  std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(seal.crc));
  return line + " " + std::to_string(seal.size) + " " + crc;
}

bool ParseMemberSealLine(std::string_view line, MemberSeal& seal) {
  if (line.size() < 6 || line[0] != SealMark || line[4] != ' ') return false;
  MemberSeal s;
  if (!ReadNumber(line.substr(1, 3), s.number) || s.number < 1) return false;
  std::string_view rest = line.substr(5);
  if (rest == "-") {
    seal = s;
    return true;
  }
  size_t blank = rest.find(' ');
  if (blank == std::string_view::npos || rest.size() - blank - 1 != 8) return false;
  if (!ReadNumber(rest.substr(0, blank), s.size) || !ReadNumber(rest.substr(blank + 1), s.crc, 16))
    return false;
  s.present = true;
  seal = s;
  return true;
}

int StateIndex::NumberOf(std::string_view title) const {
  for (size_t i = 0; i < titles.size(); ++i)
    if (titles[i] == title) return static_cast<int>(i) + 1;
  return 0;
}

StateIndex ReadStateIndex(std::istream& in) {
  StateIndex index;
  std::string line;
  if (!ReadTextLine(in, index.dateLine) || !ReadTextLine(in, index.headerLine)) return index;
  while (ReadTextLine(in, line)) {
    if (!line.empty() && line[0] == SealMark) {
      MemberSeal seal;
      if (!ParseMemberSealLine(line, seal) || seal.number != static_cast<int>(index.seals.size()) + 1)
        index.damaged = true;
      index.seals.push_back(seal);
    } else if (index.seals.empty()) {
      index.titles.push_back(line);
    } else {
      index.damaged = true;  // a title after the seal
    }
  }
  if (in.bad()) index.damaged = true;
  if (!index.seals.empty()) {
    index.sealed = true;
    if (index.seals.size() != index.titles.size()) index.damaged = true;
  }
  return index;
}
