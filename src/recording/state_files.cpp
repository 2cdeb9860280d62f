#include "recording/state_files.h"

#include <windows.h>

#include <fstream>

#include "recording/catalogue.h"
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

std::string NewStateName() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME ft{};
  WORD date = 0, time = 0;
  SystemTimeToFileTime(&now, &ft);
  FileTimeToDosDateTime(&ft, &date, &time);
  return StateNameOf((static_cast<uint32_t>(date) << 16) | time);
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
  for (int n = 0; n <= 999; ++n)
    if (!DeleteFileForced(StateFileName(baseName + MemberSuffix(n)))) break;
}
