// Program-wide state: set up at start-up from the settings and the machine,
// read and changed by the engines and the windows. Everything runs on the
// user-interface thread, so plain globals are enough.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TProgramState {
  std::string ProgramDirectory;   // full path, ends with "\"
  bool HelpAvailable = false;
  std::string RemovableDrives;    // drive letters found at start-up
  std::string FixedDrives;
  std::string Drives;             // configured drive and type letters
  std::string Types;
  std::string RecordDrives;       // working letters of the recording in progress
  std::string RecordTypes;
  std::string ExclusionText;      // the Exclude setting
  std::vector<std::string> ExclusionList;
  std::string ExclusionListText;  // what ExclusionList was built from: the
                                  // exclusions a recording really applies
  bool UseRecycleBin = true;
  int ConfirmLevel = 2;           // 0 in command-line mode: nothing is asked
  bool CommandLineMode = false;
  std::string StorageLocation;    // "" for the hard disk, else a diskette root
  uint8_t AnalysisMode = 0;
  std::string AnalysedAppName;
  uint32_t StateSizeTotal = 0;    // in 512-byte units
  bool UninstallMode = false;
  bool StartupFilesChanged = false;
  bool WindowsIniChanged = false;
  std::vector<std::string> OlderVersions;
};

extern TProgramState Program;
