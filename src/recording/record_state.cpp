#include "recording/record_state.h"

#include <windows.h>

#include <fstream>
#include <vector>

#include "recording/catalogue.h"
#include "recording/state_files.h"
#include "recording/state_index.h"
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

// A recording is all or nothing: its files are written under the names of
// an unfinished state and take the state's own names only once every one of
// them is complete and the index is sealed, the index last. A recording that
// fails (a full disk) or is cut short (a crash) leaves no state that could be
// listed, compared or taken as a reference.
class Recorder {
 public:
  explicit Recorder(const std::string& baseName)
      : baseName_(baseName), index_(Unfinished(0)) {}

  ~Recorder() {
    if (!committed_) Discard();
  }

  void Header() {
    index_.WriteLine("* " + RecordingDateText());
    index_.WriteLine(StateHeaderLine(Program.RecordDrives, Program.RecordTypes,
                                     Program.ExclusionListText));
  }

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
    SealWritten(member);
    sizeUnits_ += SizeUnits(seals_.back().size);
    for (const auto& pattern : PassPatterns(Program.RecordTypes)) CopyPass(member, pattern);
  }

  void RecordRegistry() {
    ShowWaitMessage("Enregistrement de la base de registres");
    std::string member = NextMember("Base de registres");
    WriteRegistrySnapshot(member);
    SealWritten(member);
    sizeUnits_ += SizeUnits(seals_.back().size);
  }

  // Seals the index, then gives every file its state's name.
  void Commit() {
    for (const auto& seal : seals_) index_.WriteLine(MemberSealLine(seal));
    index_.Close();
    for (size_t n = 1; n <= members_.size(); ++n) Rename(n);
    Rename(0);
    committed_ = true;
    Program.StateSizeTotal += sizeUnits_ + SizeUnits(static_cast<uint64_t>(FileSizeOf(Final(0))));
  }

 private:
  std::string Unfinished(size_t n) const { return UnfinishedStateFileName(baseName_, static_cast<int>(n)); }
  std::string Final(size_t n) const {
    return StateFileName(baseName_ + MemberSuffix(static_cast<int>(n)));
  }

  // Writes the member's index line and answers the file it is written to.
  std::string NextMember(const std::string& indexLine) {
    index_.WriteLine(indexLine);
    members_.push_back(Unfinished(members_.size() + 1));
    seals_.push_back({static_cast<int>(members_.size()), false, 0, 0});
    return members_.back();
  }

  // What the member's file holds as it stands on the disk: a copy that
  // cannot be read back is a member without a file...
  void SealCopy(const std::string& member) {
    MemberSeal& seal = seals_.back();
    seal.present = FileSizeAndCrc32(member, seal.size, seal.crc);
  }

  // ... a catalogue or a snapshot that cannot is a failed recording.
  void SealWritten(const std::string& member) {
    MemberSeal& seal = seals_.back();
    if (!FileSizeAndCrc32(member, seal.size, seal.crc))
      throw IoError(ERROR_READ_FAULT, "cannot read " + member);
    seal.present = true;
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
        bool copied = false;
        try {
          copied = CopyFileKeepingStamp(source, copy);
        } catch (const IoError& e) {
          // A locked or unreadable file keeps its index line without a
          // member; a full disk ends the recording.
          if (e.code == ERROR_DISK_FULL || e.code == ERROR_HANDLE_DISK_FULL) throw;
        }
        if (copied) SealCopy(copy);
        if (!seals_.back().present) DeleteFileForced(copy);
      }
    }
    if (in.bad()) throw IoError(ERROR_READ_FAULT, "cannot read " + member);
  }

  void Rename(size_t n) {
    if (n > 0 && !seals_[n - 1].present) return;
    if (!RenameFileReplacing(Unfinished(n), Final(n)))
      throw IoError(static_cast<int>(GetLastError()), "cannot rename " + Unfinished(n));
    renamed_.push_back(n);
  }

  // Everything this recording wrote, under either name.
  void Discard() {
    try {
      index_.Close();
    } catch (const IoError&) {
      // Full disk: the file is closed all the same, and deleted below.
    }
    for (size_t n = 0; n <= members_.size(); ++n) DeleteFileForced(Unfinished(n));
    for (size_t n : renamed_) DeleteFileForced(Final(n));
  }

  const std::string& baseName_;
  TextFileWriter index_;
  std::vector<std::string> members_;  // unfinished names, member 1 first
  std::vector<MemberSeal> seals_;
  std::vector<size_t> renamed_;
  uint32_t sizeUnits_ = 0;
  bool committed_ = false;
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
  DeleteUnfinishedStates();
  Recorder recorder(baseName);
  recorder.Header();
  for (char letter : Program.RecordDrives) recorder.RecordDrive(letter);
  if (Program.RecordTypes.find('R') != std::string::npos) recorder.RecordRegistry();
  recorder.Commit();
}
