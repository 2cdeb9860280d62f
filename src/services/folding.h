// Case-insensitive text helpers shared by recording, comparison and undo.
// No Windows headers: the text engines build natively too.
#pragma once
#include <string>
#include <string_view>

// a-z become A-Z and the fifteen small accented letters (CP1252) become
// their plain capitals; nothing else changes.
std::string FoldUpper(std::string_view text);
// Byte-wise comparison of the folded texts: -1, 0 or 1.
int CompareFolded(std::string_view a, std::string_view b);
// 1-based position of the folded part in the folded text, 0 when absent.
int PosFolded(std::string_view part, std::string_view text);

// The upper-casing of Windows' file systems in CP1252: a-z and the small
// accented letters become their capitals (é becomes É, not E), so that two
// names are the same file exactly when their folded texts are equal.
std::string FoldFileName(std::string_view text);
unsigned char FoldFileNameChar(unsigned char c);
// -1, 0 or 1 over the file-system folded texts.
int CompareFileNames(std::string_view a, std::string_view b);
