// The rules of the temporary-file cleaner, apart from its window.
#pragma once
#include <cstdint>
#include <string>

// The blocks of 4096 bytes a file of that size takes at least: none for an
// empty file, one for 1 to 4096 bytes.
uint32_t FreedBlocksOf(int64_t size);
// "Aucun fichier n'a été supprimé.", "1 fichier a été supprimé, ce qui a
// libéré au moins 4 Ko.", "3 fichiers ont été supprimés, ..."
std::string CleaningResultText(uint32_t deleted, uint64_t freedBlocks);
// A new mask may be added: 3 characters at least, a "." at the second
// place or later, and that first "." not the last character.
bool MaskMayBeAdded(const std::string& text);

// Why the temporary directory is not emptied as a whole, "" when it may
// be: a folder of its own, not a drive's root, the Windows or system
// directory, a user's folder, the program's directory, nor a folder that
// holds one of them. Paths are compared as the file system names them.
std::string WhyTemporaryDirectoryStays(const std::string& temporary, const std::string& programDirectory);
// The sentence the result message ends with then.
std::string TemporaryDirectoryLeftText(const std::string& temporary, const std::string& why);
