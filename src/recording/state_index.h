// The index file of a state (".000") read as a whole: its date line, its
// header, the titles of its members and the seal that a completed recording
// writes after them. No Windows headers.
#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

// What the recording knew of a member when it sealed the state: its size and
// CRC-32, or that it has no file (a copy that failed).
struct MemberSeal {
  int number = 0;
  bool present = false;
  uint64_t size = 0;
  uint32_t crc = 0;
};

// "*001 1234 89ABCDEF", or "*003 -" for a member without a file. Seal lines
// begin with "*", which no member title does.
std::string MemberSealLine(const MemberSeal& seal);
bool ParseMemberSealLine(std::string_view line, MemberSeal& seal);

struct StateIndex {
  std::string dateLine;    // line 1, "* le 05/12/1998 à 14:03:06"
  std::string headerLine;  // line 2, "{CD_MCAIWSR_\\}"
  std::vector<std::string> titles;  // member 1, 2, ...
  std::vector<MemberSeal> seals;    // one per title when sealed
  // Written whole by a recording that seals its states. Without any seal
  // line the state comes from a version that did not seal: it is read as it
  // is, unchecked.
  bool sealed = false;
  // Seal lines that do not answer the titles one for one: the index itself
  // is damaged and none of its members can be trusted.
  bool damaged = false;

  // The number of the first member of that title, 0 when there is none.
  int NumberOf(std::string_view title) const;
};

StateIndex ReadStateIndex(std::istream& in);
