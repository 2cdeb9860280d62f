// Printing plain lines of text through the standard print dialog.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Runs the print dialog; when the user confirms, prints the lines one per
// printed line in the given font, with new pages as needed. False when the
// dialog was cancelled or the printer refused.
bool PrintLines(HWND owner, HFONT font, const std::vector<std::string>& lines,
                const std::string& documentName);
