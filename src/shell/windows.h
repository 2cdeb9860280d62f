// The interactive program: the splash screen, the main window and the
// long-lived dialogs, then the command-line mode or the message loop.
#pragma once
#include <string>
#include <vector>

int RunProgram(const std::vector<std::string>& parameters);

// The offer to resume an analysis interrupted by a restart; true when an
// analysis was resumed.
bool OfferResumption();
