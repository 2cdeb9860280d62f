#include "recording/state_transfer.h"

#include <windows.h>

#include <fstream>

#include "recording/catalogue_lines.h"
#include "recording/state_index.h"
#include "services/files.h"
#include "services/io_error.h"
#include "services/wait_message.h"
#include "shell/program_state.h"

namespace {

// The name a file is copied under until the whole group is written. An
// index becomes "~BASE.IDX" and a member "~BASE.001", as in a recording:
// no list of states takes them, and the next recording deletes what a
// crash left of them in the program directory.
std::string WorkNameOf(const std::string& name) {
  const bool index = name.size() > 4 && name.compare(name.size() - 4, 4, ".000") == 0;
  return "~" + (index ? name.substr(0, name.size() - 4) + ".IDX" : name);
}

// The code the disk error box shows, for whichever side is a diskette
// without its diskette.
int ErrorCodeFor(const std::string& fromDirectory, const std::string& toDirectory, int code) {
  int mapped = MediaErrorCode(toDirectory, code);
  return mapped != code ? mapped : MediaErrorCode(fromDirectory, code);
}

// A moved file is deleted from its source: its copy must hold what the
// source holds, read back from the destination (a worn diskette).
void CheckCopy(const std::string& source, const std::string& copy) {
  uint64_t sourceSize = 0, copySize = 0;
  uint32_t sourceCrc = 0, copyCrc = 0;
  if (!FileSizeAndCrc32(source, sourceSize, sourceCrc))
    throw IoError(ERROR_READ_FAULT, "cannot read " + source);
  if (!FileSizeAndCrc32(copy, copySize, copyCrc)) throw IoError(ERROR_READ_FAULT, "cannot read " + copy);
  if (sourceSize != copySize || sourceCrc != copyCrc) throw IoError(ERROR_CRC, copy + " differs from " + source);
}

void GiveName(const std::string& work, const std::string& final) {
  // An earlier copy of the same file may be read-only, which the
  // replacement would refuse.
  ClearSpecialAttributes(final);
  if (!RenameFileReplacing(work, final))
    throw IoError(static_cast<int>(GetLastError()), "cannot rename " + work);
}

size_t MemberTitleCount(const std::string& indexPath) {
  std::ifstream in(indexPath, std::ios::binary);
  return in ? ReadStateIndex(in).titles.size() : 0;
}

}  // namespace

std::vector<std::string> StateFileNames(const std::string& directory, const std::string& baseName) {
  std::vector<std::string> names;
  const std::string index = StateFileName(baseName + MemberSuffix(0));
  if (!FileExists(directory + index)) return names;
  names.push_back(index);
  const size_t titles = MemberTitleCount(directory + index);
  for (int n = 1; n <= 999; ++n) {
    const std::string member = StateFileName(baseName + MemberSuffix(n));
    if (FileExists(directory + member)) names.push_back(member);
    else if (static_cast<size_t>(n) > titles) break;
  }
  return names;
}

void TransferFiles(const std::string& fromDirectory, const std::string& toDirectory,
                   const std::vector<std::string>& names, bool move) {
  std::vector<std::string> works;  // written at the destination, not yet named
  try {
    for (const std::string& name : names) {
      const std::string source = fromDirectory + name;
      works.push_back(toDirectory + WorkNameOf(name));
      if (!CopyFileKeepingStamp(source, works.back()))
        throw IoError(ERROR_FILE_NOT_FOUND, "cannot find " + source);
      if (move) CheckCopy(source, works.back());
    }
    // The first of the list last: a state is listed only once whole.
    auto place = [&](size_t n) {
      GiveName(works[n], toDirectory + names[n]);
      works[n].clear();
    };
    for (size_t n = 1; n < names.size(); ++n) place(n);
    if (!names.empty()) place(0);
  } catch (const IoError& e) {
    for (const std::string& work : works)
      if (!work.empty()) DeleteFileForced(work);
    throw IoError(ErrorCodeFor(fromDirectory, toDirectory, e.code), e.what());
  }
  if (move) DeleteFiles(fromDirectory, names);
}

void DeleteFiles(const std::string& directory, const std::vector<std::string>& names) {
  int failure = 0;
  std::string failed;
  for (const std::string& name : names) {
    if (DeleteFileForced(directory + name) || failure) continue;
    failure = static_cast<int>(GetLastError());
    failed = directory + name;
  }
  if (failure) throw IoError(MediaErrorCode(directory, failure), "cannot delete " + failed);
}

namespace {

// The files of a state that must be there: its index at least.
std::vector<std::string> ExistingStateFileNames(const std::string& directory, const std::string& baseName) {
  std::vector<std::string> names = StateFileNames(directory, baseName);
  if (names.empty())
    throw IoError(MediaErrorCode(directory, ERROR_FILE_NOT_FOUND),
                  "cannot find " + directory + StateFileName(baseName + MemberSuffix(0)));
  return names;
}

}  // namespace

void TransferState(const std::string& fromDirectory, const std::string& toDirectory,
                   const std::string& baseName, bool move) {
  TransferFiles(fromDirectory, toDirectory, ExistingStateFileNames(fromDirectory, baseName), move);
}

void DeleteStateIn(const std::string& directory, const std::string& baseName) {
  DeleteFiles(directory, ExistingStateFileNames(directory, baseName));
}

std::string CurrentDirectoryPath() {
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  std::string directory = current;
  if (!directory.empty() && directory.back() != '\\') directory += '\\';
  return directory;
}

void TransferStateFiles(const std::string& baseName, TransferDirection direction) {
  ShowWaitMessage("Transfert des fichiers en cours.");
  const std::string programSide = CurrentDirectoryPath();
  const std::string storage = Program.StorageLocation;
  if (direction == TransferDirection::ToStorage) TransferState(programSide, storage, baseName, true);
  else TransferState(storage, programSide, baseName, false);
}
