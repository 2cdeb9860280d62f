// States and reports carried between two directories as wholes: what
// arrives is what left, with its dates and attributes, and a carry that
// fails (a full, write-protected or missing diskette) leaves the state
// whole where it was and nothing where it was going.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "recording/state_transfer.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "support/diskette.h"
#include "support/wine_fixture.h"

namespace {

using Strings = std::vector<std::string>;

struct Stamp {
  std::string bytes;
  FILETIME written{};
  DWORD attributes = 0;
  bool operator==(const Stamp& o) const {
    return bytes == o.bytes && CompareFileTime(&written, &o.written) == 0 && attributes == o.attributes;
  }
};

// Every file of a directory with its contents, date and attributes.
std::map<std::string, Stamp> Listing(const std::string& dir) {
  std::map<std::string, Stamp> files;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files[found.cFileName] = {ReadWholeFile(dir + found.cFileName), found.ftLastWriteTime, found.dwFileAttributes};
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return files;
}

Strings Names(const std::map<std::string, Stamp>& listing) {
  Strings names;
  for (const auto& [name, stamp] : listing) names.push_back(name);
  return names;
}

class StateTransferTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = Program;
    dir_ = ScratchDirectory();
    from_ = dir_ + "programme\\";
    to_ = dir_ + "ailleurs\\";
    MakeFixtureDirectory(from_);
    MakeFixtureDirectory(to_);
  }
  void TearDown() override { Program = saved_; }

  // A state of an index naming `titles` members and the member files given,
  // dated 1998, one read-only and one hidden.
  void WriteState(const std::string& dir, const std::string& base, int titles, const std::vector<int>& members) {
    std::string index = "* le 05/12/1998 à 14:03:07\r\n{C_IR_\\\\}\r\n";
    for (int n = 1; n <= titles; ++n) index += n == titles ? "Base de registres\r\n" : "C:\\WINDOWS\\F" + std::to_string(n) + ".INI\r\n";
    WriteFixtureFile(dir + base + ".000", index, PackDosTime(1998, 12, 5, 14, 3, 8));
    for (int n : members) {
      char suffix[8];
      std::snprintf(suffix, sizeof suffix, ".%03d", n);
      const DWORD attributes = n == 2 ? FILE_ATTRIBUTE_READONLY : n == 3 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_ARCHIVE;
      WriteFixtureFile(dir + base + suffix, "membre " + std::to_string(n) + std::string(300 * n, 'x'),
                       PackDosTime(1998, 12, 5, 14, 3, 6 + 2 * n), attributes);
    }
  }

  TProgramState saved_;
  std::string dir_, from_, to_;
};

}  // namespace

TEST_F(StateTransferTest, AMovedStateArrivesWholeWithItsDatesAndAttributes) {
  WriteState(from_, "ASYK3DD", 5, {1, 2, 3, 4, 5});
  WriteFixtureFile(from_ + "ASYK3DE.001", "another state", PackDosTime(1998, 12, 5, 14, 3, 6));
  const auto before = Listing(from_);
  EXPECT_EQ(StateFileNames(from_, "ASYK3DD"),
            (Strings{"ASYK3DD.000", "ASYK3DD.001", "ASYK3DD.002", "ASYK3DD.003", "ASYK3DD.004", "ASYK3DD.005"}));

  TransferState(from_, to_, "ASYK3DD", true);
  const auto moved = Listing(to_);
  EXPECT_EQ(Names(moved), (Strings{"ASYK3DD.000", "ASYK3DD.001", "ASYK3DD.002", "ASYK3DD.003", "ASYK3DD.004",
                                   "ASYK3DD.005"}));
  for (const auto& [name, stamp] : moved) EXPECT_TRUE(stamp == before.at(name)) << name;
  EXPECT_EQ(Names(Listing(from_)), Strings{"ASYK3DE.001"}) << "only the other state's file stays";

  // Back as a copy: it stays where it was.
  TransferState(to_, from_, "ASYK3DD", false);
  EXPECT_EQ(Listing(from_).size(), 7u);
  EXPECT_EQ(Listing(to_).size(), 6u);
  for (const auto& [name, stamp] : moved) EXPECT_TRUE(stamp == Listing(from_).at(name)) << name;
}

// A member whose copy failed at the recording has no file: the members
// after it belong to the state all the same. So do members an index of an
// earlier version left unnamed, as long as they follow one another.
TEST_F(StateTransferTest, AMemberWithoutAFileIsNoGap) {
  WriteState(from_, "ASYK3DD", 5, {1, 2, 4, 5, 6});
  EXPECT_EQ(StateFileNames(from_, "ASYK3DD"),
            (Strings{"ASYK3DD.000", "ASYK3DD.001", "ASYK3DD.002", "ASYK3DD.004", "ASYK3DD.005", "ASYK3DD.006"}));
  TransferState(from_, to_, "ASYK3DD", true);
  EXPECT_EQ(Listing(to_).size(), 6u);
  EXPECT_TRUE(Listing(from_).empty());

  WriteState(from_, "BBBBBBB", 2, {1, 2, 3});
  DeleteStateIn(from_, "BBBBBBB");
  EXPECT_TRUE(Listing(from_).empty());
  EXPECT_TRUE(StateFileNames(from_, "CCCCCCC").empty()) << "no index, no state";
  try {
    TransferState(from_, to_, "CCCCCCC", true);
    ADD_FAILURE() << "a state without its index was carried";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code, ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(StateTransferTest, AReportGoesAloneAndReplacesAnEarlierReadOnlyCopy) {
  WriteFixtureFile(from_ + "ASYK3DD.PV1", "* Installation de Jeu le 05/12/1998 à 14:03:07\r\n",
                   PackDosTime(1998, 12, 5, 14, 3, 8));
  WriteFixtureFile(to_ + "ASYK3DD.PV1", "old", PackDosTime(1998, 1, 1, 0, 0, 0), FILE_ATTRIBUTE_READONLY);
  const auto before = Listing(from_);
  TransferFiles(from_, to_, {"ASYK3DD.PV1"}, true);
  EXPECT_TRUE(Listing(to_).at("ASYK3DD.PV1") == before.at("ASYK3DD.PV1"));
  EXPECT_TRUE(Listing(from_).empty());
}

// A diskette full half-way through the members, write-protected, or not in
// its drive: the disk error of each, the state whole on the hard disk, not
// a file of it on the diskette.
TEST_F(StateTransferTest, ACarryThatFailsLeavesTheStateWholeAndNothingOnTheDiskette) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "small diskettes are mounted as root";
  struct Case {
    const char* what;
    int kilobytes;
    bool protect, takeOut;
    int code;
  };
  const Case cases[] = {
      {"full", 8, false, false, ERROR_DISK_FULL},
      {"write-protected", 64, true, false, ERROR_ACCESS_DENIED},
      {"missing", 64, false, true, ERROR_NOT_READY},
  };
  WriteState(from_, "ASYK3DD", 5, {1, 2, 3, 4, 5});
  const auto before = Listing(from_);
  for (const Case& c : cases) {
    Diskette diskette('A', dir_, c.kilobytes);
    ASSERT_TRUE(diskette.Mounted());
    if (c.protect) diskette.WriteProtect();
    if (c.takeOut) diskette.TakeOut();
    int code = 0;
    try {
      TransferState(from_, diskette.Root(), "ASYK3DD", true);
    } catch (const IoError& e) {
      code = e.code;
    }
    EXPECT_EQ(code, c.code) << c.what;
    EXPECT_TRUE(Listing(from_) == before) << c.what;
    if (!c.takeOut) {
      EXPECT_TRUE(Names(Listing(diskette.Folder())).empty()) << c.what;
    }
  }
}

// Deleting from a write-protected diskette is said, not taken for done.
TEST_F(StateTransferTest, FilesThatCannotBeDeletedAreSaid) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "small diskettes are mounted as root";
  Diskette diskette('A', dir_, 64);
  ASSERT_TRUE(diskette.Mounted());
  WriteState(diskette.Folder(), "ASYK3DD", 2, {1, 2});
  diskette.WriteProtect();
  int code = 0;
  try {
    DeleteStateIn(diskette.Root(), "ASYK3DD");
  } catch (const IoError& e) {
    code = e.code;
  }
  EXPECT_EQ(code, ERROR_ACCESS_DENIED);
  EXPECT_EQ(Listing(diskette.Folder()).size(), 3u);
}
