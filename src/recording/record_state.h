// Recording one whole state of the machine under a base name: the index,
// a catalogue per drive, copies of the chosen system files, the registry.
#pragma once
#include <string>

// Asks the user to close the other running applications before a recording
// made from a window; installed by the window layer. Never called in
// command-line mode.
using RunningApplicationsCheck = void (*)(void* caller);
void SetRunningApplicationsCheck(RunningApplicationsCheck check);

// Uses Program.RecordDrives, RecordTypes, ExclusionText and ExclusionList,
// and adds the size of the state to Program.StateSizeTotal. Failures of the
// file layer raise IoError; the files written so far stay.
void RecordState(const std::string& baseName, void* caller = nullptr);

// Whether a catalogue entry line is selected by a pass pattern.
bool SelectedByPattern(const std::string& entryLine, const std::string& pattern);
