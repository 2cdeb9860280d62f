#include "comparison/compare_states.h"

#include <windows.h>

#include <fstream>

#include "comparison/catalogue_comparison.h"
#include "comparison/registry_comparison.h"
#include "comparison/report_format.h"
#include "comparison/text_comparisons.h"
#include "recording/catalogue.h"
#include "recording/state_files.h"
#include "recording/state_index.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/registry.h"
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

StateIndex ReadIndex(const std::string& base) {
  const std::string name = MemberName(base, 0);
  std::ifstream in(name, std::ios::binary);
  if (!in) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + name);
  return ReadStateIndex(in);
}

enum class MemberKind { Catalogue, StartupFile, Registry, Profile };

MemberKind KindOf(const std::string& title) {
  bool fileBlock = (title.size() >= 2 && title[1] == ':') ||
                   PosFolded(report::RegistryTitle, title) > 0;
  if (!fileBlock) return MemberKind::Catalogue;
  if (PosFolded("AUTOEXEC.BAT", title) || PosFolded("CONFIG.SYS", title) ||
      PosFolded("MSDOS.SYS", title))
    return MemberKind::StartupFile;
  if (PosFolded(report::RegistryTitle, title)) return MemberKind::Registry;
  return MemberKind::Profile;
}

// Whether a member of its kind may begin so: a catalogue with "* ", a
// registry snapshot with its signature ("BDR" and the system's version, to
// be compared with the other's); copies of system files with anything.
bool BeginsAsItMust(MemberKind kind, const std::string& firstLine) {
  switch (kind) {
    case MemberKind::Catalogue: return firstLine == "* ";
    case MemberKind::Registry: return firstLine.size() > 3 && firstLine.compare(0, 3, "BDR") == 0;
    default: return true;
  }
}

// Whether a member may be compared: its state's index is whole, the file is
// the one its state sealed (a recording that sealed it), and it begins as
// its kind must. A member that fails is never compared: its block says so.
bool Readable(const StateIndex& index, int number, const std::string& file, MemberKind kind) {
  if (index.damaged) return false;
  if (index.sealed) {
    const MemberSeal& seal = index.seals[static_cast<size_t>(number) - 1];
    uint64_t size = 0;
    uint32_t crc = 0;
    if (!seal.present || !FileSizeAndCrc32(file, size, crc) || size != seal.size || crc != seal.crc)
      return false;
  } else if (!FileExists(file)) {
    return false;
  }
  if (kind != MemberKind::Catalogue && kind != MemberKind::Registry) return true;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  return ReadTextLine(in, line) && BeginsAsItMust(kind, line);
}

// The comparison passes over what either state left out: the exclusions of
// both headers (a directory one of them holds no block for would otherwise
// look added or removed as a whole).
std::vector<std::string> ExclusionsOfBoth(const StateIndex& before, const StateIndex& after) {
  std::string text;
  for (const StateIndex* index : {&before, &after}) {
    StateHeader header;
    if (ParseStateHeaderLine(index->headerLine, header)) text += header.exclusionText + ";";
  }
  std::vector<std::string> list = ExclusionListOf(text);
  // The exclusions in force now, for states whose headers hold none.
  list.insert(list.end(), Program.ExclusionList.begin(), Program.ExclusionList.end());
  return list;
}

void CompareMembers(MemberKind kind, const std::string& title, std::istream& oldMember,
                    std::istream& newMember, const std::vector<std::string>& exclusions,
                    report::Writer& out) {
  out.Empty();
  out.Line(std::string(kind == MemberKind::Catalogue ? report::CatalogueHeading
                                                     : report::FileHeading) +
           title);
  switch (kind) {
    case MemberKind::Catalogue: {
      CatalogueComparisonContext context;
      char directory[MAX_PATH] = {};
      GetCurrentDirectoryA(MAX_PATH, directory);
      context.workingDirectory = std::string(directory) + "\\";
      context.isExcluded = [&exclusions](const std::string& path) {
        return IsExcludedBy(exclusions, path);
      };
      context.olderVersions = &Program.OlderVersions;
      CompareCatalogues(oldMember, newMember, out, context);
      return;
    }
    case MemberKind::StartupFile:
      CompareStartupFiles(oldMember, newMember, out, Program.AnalysisMode);
      return;
    case MemberKind::Registry:
      CompareRegistry(oldMember, newMember, out, RegistryExclusionsInForce());
      return;
    case MemberKind::Profile:
      CompareProfiles(oldMember, newMember, out);
      return;
  }
}

}  // namespace

const RegistryExclusions& RegistryExclusionsInForce() {
  static RegistryExclusions exclusions;
  std::vector<std::string> patterns = RegistryExclusions::BuiltIn();
  std::vector<std::string> own;
  ReadRegStrings(settings::Key, "ExcludeReg", own);
  patterns.insert(patterns.end(), own.begin(), own.end());
  exclusions = RegistryExclusions(patterns);
  return exclusions;
}

void CompareStates() {
  Program.OlderVersions.clear();
  const std::string before = settings::Read(settings::Text::Pred);
  const std::string after = settings::Read(settings::Text::Succ);
  if (!FileExists(MemberName(before, 0)) || !FileExists(MemberName(after, 0))) return;

  const StateIndex beforeIndex = ReadIndex(before);
  const StateIndex afterIndex = ReadIndex(after);
  const std::vector<std::string> exclusions = ExclusionsOfBoth(beforeIndex, afterIndex);
  const std::string reportName = StateFileName(after + report::ReportExtension(Program.AnalysisMode));
  TextFileWriter reportFile(reportName);
  report::Writer out(reportFile);

  out.Line(report::HeaderLine(Program.AnalysisMode, Program.AnalysedAppName, RecordingDateText()));
  if (Program.AnalysisMode == 2 || Program.AnalysisMode == 3)
    out.Line(report::SecondHeaderLine(beforeIndex.dateLine));

  for (int k = 1; k <= static_cast<int>(afterIndex.titles.size()); ++k) {
    const std::string& title = afterIndex.titles[static_cast<size_t>(k) - 1];
    ShowWaitMessage("Analyse de " + title);
    int j = beforeIndex.NumberOf(title);
    if (j == 0) {
      out.Empty();
      out.Line(title);
      out.Line(report::NewMemberText);
      out.Empty();
      continue;
    }
    const MemberKind kind = KindOf(title);
    const std::string oldName = MemberName(before, j), newName = MemberName(after, k);
    std::ifstream oldMember, newMember;
    if (Readable(beforeIndex, j, oldName, kind)) oldMember.open(oldName, std::ios::binary);
    if (!oldMember.is_open()) {
      out.Empty();
      out.Line(report::UnreadableOldMemberLine(title));
      continue;
    }
    if (Readable(afterIndex, k, newName, kind)) newMember.open(newName, std::ios::binary);
    if (!newMember.is_open()) {
      out.Empty();
      out.Line(report::UnreadableNewMemberLine(title));
      continue;
    }
    CompareMembers(kind, title, oldMember, newMember, exclusions, out);
  }
  out.Empty();
  reportFile.Close();
  settings::Write(settings::Text::Last, reportName);
}
