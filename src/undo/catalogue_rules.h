// What the undo removes for a catalogue block of a report: the files and
// directories it lists as added, and nothing else. No Windows headers.
#pragma once
#include <string>
#include <vector>

struct CatalogueRemovals {
  std::vector<std::string> files;        // full paths, in report order
  std::vector<std::string> directories;  // full paths without a final "\", in report order
};

// The removals of a whole block's body (its count line taken off). Every
// line must be one the comparison writes, every name one a file can have;
// false, with nothing to remove, otherwise: an odd line is no reason to
// delete, and a block holding one is not trusted at all.
//
// A sub-directory listed as removed and as added in one stretch (the same
// name for the file system) only changed its date or attributes: NT and
// Wine date a directory anew whenever an entry is made in it. It existed
// before, and is neither removed nor emptied.
bool CatalogueRemovalsOf(const std::vector<std::string>& lines, CatalogueRemovals& removals,
                         std::string* problem = nullptr);

// A name a file or directory can have: not empty, not "." or "..", no
// path separator, drive colon, wildcard or control character.
bool IsPlainFileName(const std::string& name);
// A directory line of a catalogue block: "X:\" then plain names, each
// followed by "\".
bool IsCatalogueDirectoryPath(const std::string& line);
