// A generated pair of catalogue members, the "before" and the "after" of one
// drive, written in the layout and the order of the catalogue scan without a
// tree on disk: "* ", then each directory line followed by its sorted
// sub-directory entries and its sorted file entries, the sub-directories'
// blocks depth first.
#pragma once
#include <string>

struct MemberPairShape {
  long entryLines;         // entry lines of the "before" member
  int changes;             // in turn a changed, a removed and an added file
  int filesPerDirectory;   // about; the last ones make up the count
  int branching;           // sub-directories per directory
  char drive;              // the letter of the directory lines
};

struct MemberPairCount {
  long directories = 0;
  long oldEntries = 0, newEntries = 0;
  int changed = 0, removed = 0, added = 0;
  int olderVersions = 0;  // changed files whose new date is the earlier one
};

// The changes are spread evenly over the directories, and so over the
// length of the members.
MemberPairCount WriteMemberPair(const MemberPairShape& shape, const std::string& oldName,
                                const std::string& newName);
