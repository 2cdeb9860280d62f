#include "comparison/compare_states.h"

#include <windows.h>

#include <fstream>

#include "comparison/catalogue_comparison.h"
#include "comparison/report_format.h"
#include "comparison/text_comparisons.h"
#include "recording/catalogue.h"
#include "recording/state_files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"

namespace {

std::string MemberName(const std::string& base, int n) {
  return StateFileName(base + MemberSuffix(n));
}

bool Exists(const std::string& name) {
  return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The number of the before state's member titled `title`, 0 when it has none.
int FindBeforeMember(const std::string& before, const std::string& title) {
  std::ifstream index(MemberName(before, 0), std::ios::binary);
  std::string line;
  for (int number = -1; ReadTextLine(index, line); ++number)
    if (number >= 1 && line == title) return number;
  return 0;
}

std::string FirstLineOf(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  ReadTextLine(in, line);
  return line;
}

void CompareMembers(const std::string& title, std::istream& oldMember, std::istream& newMember,
                    report::Writer& out) {
  bool fileBlock = (title.size() >= 2 && title[1] == ':') ||
                   PosFolded(report::RegistryTitle, title) > 0;
  out.Empty();
  out.Line(std::string(fileBlock ? report::FileHeading : report::CatalogueHeading) + title);
  if (!fileBlock) {
    CatalogueComparisonContext context;
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    context.workingDirectory = std::string(directory) + "\\";
    context.isExcluded = IsExcluded;
    context.olderVersions = &Program.OlderVersions;
    CompareCatalogues(oldMember, newMember, out, context);
  } else if (PosFolded("AUTOEXEC.BAT", title) || PosFolded("CONFIG.SYS", title) ||
             PosFolded("MSDOS.SYS", title)) {
    CompareStartupFiles(oldMember, newMember, out, Program.AnalysisMode);
  } else if (PosFolded(report::RegistryTitle, title)) {
    CompareRegistry(oldMember, newMember, out);
  } else {
    CompareProfiles(oldMember, newMember, out);
  }
}

}  // namespace

void CompareStates() {
  Program.OlderVersions.clear();
  const std::string before = settings::Read(settings::Text::Pred);
  const std::string after = settings::Read(settings::Text::Succ);
  const std::string afterIndexName = MemberName(after, 0);
  if (!Exists(MemberName(before, 0)) || !Exists(afterIndexName)) return;

  std::ifstream afterIndex(afterIndexName, std::ios::binary);
  if (!afterIndex) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + afterIndexName);
  const std::string reportName = StateFileName(after + report::ReportExtension(Program.AnalysisMode));
  TextFileWriter reportFile(reportName);
  report::Writer out(reportFile);

  out.Line(report::HeaderLine(Program.AnalysisMode, Program.AnalysedAppName, RecordingDateText()));
  if (Program.AnalysisMode == 2 || Program.AnalysisMode == 3)
    out.Line(report::SecondHeaderLine(FirstLineOf(MemberName(before, 0))));

  std::string title;
  ReadTextLine(afterIndex, title);
  ReadTextLine(afterIndex, title);
  for (int k = 1; ReadTextLine(afterIndex, title); ++k) {
    ShowWaitMessage("Analyse de " + title);
    int j = FindBeforeMember(before, title);
    if (j == 0) {
      out.Empty();
      out.Line(title);
      out.Line(report::NewMemberText);
      out.Empty();
      continue;
    }
    std::ifstream oldMember(MemberName(before, j), std::ios::binary);
    if (!oldMember) {
      out.Empty();
      out.Line(report::UnreadableOldMemberLine(title));
      continue;
    }
    const std::string newName = MemberName(after, k);
    std::ifstream newMember(newName, std::ios::binary);
    if (!newMember) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + newName);
    CompareMembers(title, oldMember, newMember, out);
  }
  out.Empty();
  reportFile.Close();
  settings::Write(settings::Text::Last, reportName);
}
