// The comparison of two registry snapshots into one report block. No
// Windows headers.
#pragma once
#include <istream>
#include <string>
#include <vector>

#include "comparison/report_format.h"

// Keys left out of the comparison, with all they hold, and values left out
// of it: the ones Windows and Wine change by themselves, and the user's own.
// A pattern is a key path as reports write it
// ("HKey_Users\*\Software\Microsoft\...\RecentDocs"), where "*" stands for
// any one name; a last part "=Name" names a value of the keys before it
// ("...\{4D36E968-...}\*\=DriverDateData"). Letters are compared without
// regard to case.
class RegistryExclusions {
 public:
  RegistryExclusions() = default;
  explicit RegistryExclusions(const std::vector<std::string>& patterns);
  // The keys of the built-in list, one per line of the README's table.
  static const std::vector<std::string>& BuiltIn();

  // Whether the key at depth `depth` (1 for a root) is left out; its path is
  // keyLines[1..depth], the snapshot key lines above it and its own.
  bool Excludes(const std::string* keyLines, int depth) const;
  // The names (escaped, as in snapshot lines) of the values left out of
  // that key.
  std::vector<std::string> ExcludedValues(const std::string* keyLines, int depth) const;
  // Whether a key of a report, or one of the keys above it, is left out.
  bool ExcludesPath(const std::vector<std::u16string>& names) const;
  bool ExcludesValue(const std::vector<std::u16string>& names, const std::u16string& value) const;
  bool Empty() const { return patterns_.empty(); }

 private:
  struct Pattern {
    std::vector<std::string> keys;  // escaped names, "*" for any
    std::string value;              // empty for a key pattern
  };
  bool Matches(const Pattern& pattern, const std::string* keyLines, int depth) const;
  std::vector<Pattern> patterns_;
  uint32_t keyDepths_ = 0, valueDepths_ = 0;  // bit d: a pattern of d key names
};

// Merges the snapshots as streams: keys and values only one side has are
// reported with "+" or "-" in the syntax of registry export files. A
// snapshot that cannot be read, or is not in the order it is written in,
// ends the block as interrupted; snapshots of different signatures give the
// single line " Impossible de comparer des versions différentes de Windows".
void CompareRegistry(std::istream& oldMember, std::istream& newMember, report::Writer& out,
                     const RegistryExclusions& exclusions = {});
