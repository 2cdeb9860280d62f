// The report viewer's work on the lines of a text: compaction of the blocks
// that report nothing, and the name an edited text is saved under. No
// Windows headers.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The lines of a text as the viewer shows it: CRLF (or a lone LF) ends a
// line; a line end at the very end of the text opens no further line.
std::vector<std::string> SplitTextLines(std::string_view text);
// The text of those lines, each followed by CRLF, as a report file holds them.
std::string JoinTextLines(const std::vector<std::string>& lines);

// Removes every block whose count line holds "Aucun" from its second
// character on (" Aucune modification", " Aucun fichier effacé") together
// with the lines above it up to the empty line that opens the block, then
// shrinks every run of empty lines to one. The first line, the header, is
// never removed. True when a line was removed.
bool CompactReportLines(std::vector<std::string>& lines);

// An installation or launch text (first line "* Installation de ..." or
// "* Lancement de ...") is always saved with the extension ".PV1", whatever
// the name it was opened under: the last character of the name becomes "1".
std::string SavedReportName(const std::string& currentName, std::string_view firstLine);
