#include "recording/state_files.h"

#include <windows.h>

#include <fstream>
#include <vector>

#include "recording/catalogue.h"
#include "recording/state_transfer.h"
#include "services/files.h"
#include "services/io_error.h"
#include "services/text_lines.h"
#include "shell/program_state.h"

namespace {

std::string LocaleText(LCTYPE what, const char* fallback) {
  char text[8] = {};
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, what, text, sizeof text) > 1 ? text : fallback;
}

}  // namespace

namespace {

std::string StateNameForNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME ft{};
  WORD date = 0, time = 0;
  SystemTimeToFileTime(&now, &ft);
  FileTimeToDosDateTime(&ft, &date, &time);
  return StateNameOf((static_cast<uint32_t>(date) << 16) | time);
}

bool Exists(const std::string& name) {
  return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A name is taken while a state or a report of that name is in the program
// directory: two states recorded within one two-second step would otherwise
// share it, and the later would overwrite the earlier.
bool NameTaken(const std::string& base) {
  for (const char* extension : {".000", ".PV1", ".PV2", ".PV3"})
    if (Exists(base + extension)) return true;
  return false;
}

}  // namespace

std::string NewStateName() {
  std::string name = StateNameForNow();
  while (NameTaken(name)) {
    Sleep(250);  // until the clock reaches the next two-second step
    name = StateNameForNow();
  }
  return name;
}

std::string RecordingDateText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatRecordingDate(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                             now.wSecond, LocaleText(LOCALE_SDATE, "/"),
                             LocaleText(LOCALE_STIME, ":"));
}

void ReadStateHeader(const std::string& baseName) {
  Program.RecordDrives = Program.FixedDrives;
  Program.RecordTypes = "MCASWIR";
  std::string indexName = StateFileName(baseName + MemberSuffix(0));
  std::ifstream index(indexName, std::ios::binary);
  if (!index) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + indexName);
  std::string first, second;
  StateHeader header;
  if (ReadTextLine(index, first) && ReadTextLine(index, second) &&
      ParseStateHeaderLine(second, header)) {
    Program.RecordDrives = header.drives;
    Program.RecordTypes = header.types;
    BuildExclusionList(header.exclusionText);
  }
  if (index.bad()) throw IoError(ERROR_READ_FAULT, "cannot read " + indexName);
}

void DeleteStateFiles(const std::string& baseName) {
  const std::string directory = CurrentDirectoryPath();
  for (const std::string& name : StateFileNames(directory, baseName)) DeleteFileForced(directory + name);
}

void ListRecordedStates(const std::string& caption, const std::function<void(const std::string&)>& add) {
  ForEachFirstLine(Program.ProgramDirectory, "*.000", [&](const std::string& name, const std::string& firstLine) {
    add(StateLabel(firstLine, caption, name));
  });
}

std::string UnfinishedStateFileName(const std::string& baseName, int member) {
  return StateFileName("~" + baseName + (member == 0 ? std::string(".IDX") : MemberSuffix(member)));
}

void DeleteUnfinishedStates() {
  WIN32_FIND_DATAA found;
  const std::string pattern = "~???????.???";
  HANDLE h = FindFirstFileA(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> names;
  do {
    std::string name = found.cFileName;
    // "~" + seven letters of the state alphabet + "." + three digits or IDX.
    bool state = name.size() == 12 && name[8] == '.' &&
                 name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ123456", 1) == 8 &&
                 (name.substr(9) == "IDX" ||
                  name.find_first_not_of("0123456789", 9) == std::string::npos);
    if (state && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  for (const auto& name : names) DeleteFileForced(name);
}
