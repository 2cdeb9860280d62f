// Operations on recorded states in the program directory (the current
// directory): naming, reading the header, deleting.
#pragma once
#include <functional>
#include <string>

#include "recording/catalogue_lines.h"

// A fresh base name for the current local time.
std::string NewStateName();
// "le dd/mm/yyyy à hh:nn:ss" with the system's separators, cut to 25.
std::string RecordingDateText();
// Loads Program.RecordDrives, RecordTypes and the exclusion list from line 2
// of the state's index. A missing index raises IoError.
void ReadStateHeader(const std::string& baseName);
// Deletes the index and every member of a state in the current directory
// (a member whose copy failed at the recording is no gap).
void DeleteStateFiles(const std::string& baseName);

// The list lines of the states of the program directory (its "*.000"
// files, hidden and system ones too): each index's label behind the
// caption. An index that cannot be read raises IoError once the lines
// before it have been given.
void ListRecordedStates(const std::string& caption, const std::function<void(const std::string&)>& add);

// A state being recorded is written under "~" + its base name, its index
// as ".IDX", and renamed once complete: no reader and no list of "*.000"
// takes such files for a state.
std::string UnfinishedStateFileName(const std::string& baseName, int member);
// Deletes what recordings cut short (a crash, a power cut) left behind.
void DeleteUnfinishedStates();
