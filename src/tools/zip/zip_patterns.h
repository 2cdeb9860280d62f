// File patterns and entry names: how a pattern selects files
// on disk and entries in an archive, how a path becomes an entry name, and
// which entry names are never written to disk. Text is CP1252.
#pragma once
#include <string>
#include <vector>

namespace zip {

// "*" any run of characters, "?" one character, letters compared without
// regard to case (accented CP1252 letters too); "*.*" also takes names
// without a dot, as DOS does.
bool WildcardMatch(const std::string& pattern, const std::string& name);
// Case-insensitive equality of two names, with the same folding.
bool SameName(const std::string& a, const std::string& b);
// The text folded to lower case, for keys of names.
std::string FoldedName(const std::string& text);

// The parts of a path, split at "\" and "/", without empty parts.
std::vector<std::string> PathParts(const std::string& path);
// The name of a path: its last part.
std::string NamePart(const std::string& path);

// The entry name a file path is stored under when directory names are
// kept: no drive ("C:") or share ("\\server\share"), no leading separator,
// no "." or ".." part; "/" between directories.
std::string StoredPath(const std::string& windowsPath);

// Whether a pattern of a delete or an extraction selects the entry.
// Its name part must match the entry's name part. With `useDirectories`,
// when both carry a directory, the pattern's directory must end with
// the entry's (compared part by part, wildcards allowed): a full path
// "C:\WINDOWS\SYSTEM\FOO.DLL" selects "WINDOWS/SYSTEM/FOO.DLL",
// "SYSTEM/FOO.DLL" and "FOO.DLL", not "FONTS/FOO.DLL".
bool PatternSelectsEntry(const std::string& pattern, const std::string& entryName, bool useDirectories);

// An entry that would land outside the folder it is extracted into: a ".."
// part, a drive (":"), or a name that begins with "\" or "/".
bool IsUnsafeEntryName(const std::string& entryName);
// The entry's path on disk, relative to the target folder: its directories
// kept or dropped, "\" between them, characters that Windows refuses in
// names (control characters, < > " | ? *) replaced by "_".
std::string TargetPathOf(const std::string& entryName, bool keepDirectories);

}  // namespace zip
