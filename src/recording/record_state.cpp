#include "recording/record_state.h"

#include <windows.h>

#include <fstream>
#include <vector>

#include "recording/catalogue.h"
#include "recording/state_files.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/snapshot.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "services/wait_message.h"
#include "shell/program_state.h"

namespace {

RunningApplicationsCheck RunningAppsCheck = nullptr;

std::vector<std::string> PassPatterns(const std::string& types) {
  std::vector<std::string> patterns;
  auto has = [&](char c) { return types.find(c) != std::string::npos; };
  if (has('M')) patterns.push_back("MSDOS.SYS");
  if (has('C')) patterns.push_back("CONFIG.SYS");
  if (has('A')) patterns.push_back("AUTOEXEC.BAT");
  if (has('I')) {
    patterns.push_back(".INI");
  } else {
    if (has('W')) patterns.push_back("WIN.INI");
    if (has('S')) patterns.push_back("SYSTEM.INI");
  }
  return patterns;
}

class Recorder {
 public:
  Recorder(const std::string& baseName, TextFileWriter& index)
      : baseName_(baseName), index_(index) {}

  void RecordDrive(char letter) {
    std::string root = std::string(1, letter) + ":\\";
    ShowWaitMessage("Enregistrement du catalogue de " + root);
    std::string member = NextMember("Catalogue de " + root);
    {
      TextFileWriter catalogue(member);
      catalogue.WriteLine("* ");
      CatalogueDirectory(root, "*.*", catalogue, true);
      catalogue.Close();
    }
    for (const auto& pattern : PassPatterns(Program.RecordTypes)) CopyPass(member, pattern);
    Program.StateSizeTotal += SizeUnits(static_cast<uint64_t>(FileSizeOf(member)));
  }

  void RecordRegistry() {
    ShowWaitMessage("Enregistrement de la base de registres");
    std::string member = NextMember("Base de registres");
    WriteRegistrySnapshot(member);
    Program.StateSizeTotal += SizeUnits(static_cast<uint64_t>(FileSizeOf(member)));
  }

 private:
  // Writes the member's index line and answers the member's file name.
  std::string NextMember(const std::string& indexLine) {
    ++counter_;
    index_.WriteLine(indexLine);
    return StateFileName(baseName_ + MemberSuffix(counter_));
  }

  void CopyPass(const std::string& member, const std::string& pattern) {
    std::ifstream in(member, std::ios::binary);
    if (!in) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + member);
    std::string line;
    while (ReadTextLine(in, line)) {
      if (line.size() >= 2 && line[1] == ':') {
        directory_ = line;
      } else if (SelectedByPattern(line, pattern)) {
        ShowWaitMessage("Enregistrement du fichier " + CatalogueEntryName(line) + ".");
        std::string source = directory_ + CatalogueEntryName(line);
        std::string copy = NextMember(source);
        try {
          CopyFileKeepingStamp(source, copy);
        } catch (const IoError&) {
          // A locked or unreadable file keeps its index line without a member.
        }
      }
    }
    if (in.bad()) throw IoError(ERROR_READ_FAULT, "cannot read " + member);
  }

  const std::string& baseName_;
  TextFileWriter& index_;
  int counter_ = 0;
  std::string directory_;  // carried over from one pass to the next
};

}  // namespace

void SetRunningApplicationsCheck(RunningApplicationsCheck check) { RunningAppsCheck = check; }

bool SelectedByPattern(const std::string& entryLine, const std::string& pattern) {
  int at = PosFolded(pattern, CatalogueEntryName(entryLine));
  return at == 1 || (at > 1 && !pattern.empty() && pattern[0] == '.');
}

void RecordState(const std::string& baseName, void* caller) {
  if (!Program.CommandLineMode && RunningAppsCheck) RunningAppsCheck(caller);

  std::string indexName = StateFileName(baseName + MemberSuffix(0));
  TextFileWriter index(indexName);
  index.WriteLine("* " + RecordingDateText());
  index.WriteLine(StateHeaderLine(Program.RecordDrives, Program.RecordTypes, Program.ExclusionText));
  Recorder recorder(baseName, index);
  for (char letter : Program.RecordDrives) recorder.RecordDrive(letter);
  if (Program.RecordTypes.find('R') != std::string::npos) recorder.RecordRegistry();
  index.Close();
  Program.StateSizeTotal += SizeUnits(static_cast<uint64_t>(FileSizeOf(indexName)));
}
