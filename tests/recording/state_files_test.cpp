#include <gtest/gtest.h>

#include <vector>

#include "recording/state_files.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "support/wine_fixture.h"

namespace {

// The engines work in the current directory, which is the program directory:
// each test gets a scratch directory as both, and the program-wide state back.
class StateFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = Program;
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    savedDirectory_ = cwd;
    dir_ = ScratchDirectory();
    ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
    Program.ProgramDirectory = "C:\\PIVALUNE\\";
    Program.FixedDrives = "CEF";
  }
  void TearDown() override {
    SetCurrentDirectoryA(savedDirectory_.c_str());
    Program = saved_;
  }

  void WriteIndex(const std::string& name, const std::string& text) {
    WriteFixtureFile(dir_ + name, text, PackDosTime(1998, 12, 5, 14, 3, 6));
  }
  bool Exists(const std::string& name) {
    return GetFileAttributesA((dir_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string dir_;

 private:
  TProgramState saved_;
  std::string savedDirectory_;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(StateFilesTest, ReadStateHeaderLoadsDrivesTypesAndExclusions) {
  WriteIndex("ASYK3DD.000",
             "* le 05/12/1998 à 14:03:06\r\n{CD_MCAIWSR_C:\\TEMP;\\CACHE\\}\r\nCatalogue de C:\\\r\n");
  ReadStateHeader("ASYK3DD");
  EXPECT_EQ(Program.RecordDrives, "CD");
  EXPECT_EQ(Program.RecordTypes, "MCAIWSR");
  EXPECT_EQ(Program.ExclusionList,
            (Strings{"C:\\TEMP", "\\CACHE\\", "C:\\PIVALUNE\\", "\\RECYCLED\\", "\\SYSBCKUP\\"}));

  WriteIndex("BBBBBBB.000", "* le 05/12/1998 à 14:03:08\r\n{_R_\\\\}\r\nBase de registres\r\n");
  ReadStateHeader("BBBBBBB");
  EXPECT_EQ(Program.RecordDrives, "");
  EXPECT_EQ(Program.RecordTypes, "R");
  EXPECT_EQ(Program.ExclusionList, (Strings{"\\\\", "C:\\PIVALUNE\\", "\\RECYCLED\\", "\\SYSBCKUP\\"}));
}

TEST_F(StateFilesTest, ReadStateHeaderKeepsDefaultsWithoutAHeaderLine) {
  const Strings untouched{"\\UNTOUCHED\\"};
  const char* indexes[] = {
      "* le 05/12/1998 à 14:03:06\r\n",                         // one line only
      "",                                                         // empty
      "* le 05/12/1998 à 14:03:06\r\nCD_MCAIWSR_C:\\TEMP}\r\n",  // no "{"
  };
  for (const char* text : indexes) {
    Program.RecordDrives = "Z";
    Program.RecordTypes = "Z";
    Program.ExclusionList = untouched;
    WriteIndex("ASYK3DD.000", text);
    ReadStateHeader("ASYK3DD");
    EXPECT_EQ(Program.RecordDrives, "CEF") << text;
    EXPECT_EQ(Program.RecordTypes, "MCASWIR") << text;
    EXPECT_EQ(Program.ExclusionList, untouched) << text;
  }
}

TEST_F(StateFilesTest, ReadStateHeaderOfAMissingIndexRaises) {
  WriteIndex("ASYK3DD.001", "* \r\n");
  try {
    ReadStateHeader("ASYK3DD");
    FAIL() << "no IoError";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code, ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(StateFilesTest, DeleteStateFilesStopsAtTheFirstGapItsIndexDoesNotCover) {
  auto makeState = [&](const std::string& base, int last) {
    for (int n = 0; n <= last; ++n)
      WriteFixtureFile(dir_ + base + MemberSuffix(n), "x", PackDosTime(1998, 12, 5, 14, 3, 6),
                       n == 2 ? FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
                              : FILE_ATTRIBUTE_ARCHIVE);
  };
  makeState("ASYK3DD", 5);
  WriteIndex("ASYK3DD.007", "after a gap");
  WriteIndex("ASYK3DD.PV1", "report");
  WriteIndex("ASYK3DE.000", "another state");
  DeleteStateFiles("ASYK3DD");
  for (int n = 0; n <= 5; ++n) EXPECT_FALSE(Exists("ASYK3DD" + MemberSuffix(n))) << n;
  EXPECT_TRUE(Exists("ASYK3DD.007"));
  EXPECT_TRUE(Exists("ASYK3DD.PV1"));
  EXPECT_TRUE(Exists("ASYK3DE.000"));

  makeState("BBBBBBB", 5);
  ASSERT_TRUE(DeleteFileA((dir_ + "BBBBBBB.003").c_str()));
  DeleteStateFiles("BBBBBBB");
  for (int n = 0; n <= 2; ++n) EXPECT_FALSE(Exists("BBBBBBB" + MemberSuffix(n))) << n;
  EXPECT_TRUE(Exists("BBBBBBB.004"));
  EXPECT_TRUE(Exists("BBBBBBB.005"));

  // A member whose copy failed at the recording is no gap: the index names
  // the members after it.
  makeState("DDDDDDD", 5);
  WriteIndex("DDDDDDD.000", "* le 05/12/1998 à 14:03:06\r\n{K_I_\\\\}\r\nCatalogue de K:\\\r\n"
                            "K:\\A.INI\r\nK:\\B.INI\r\nK:\\C.INI\r\nK:\\D.INI\r\n");
  ASSERT_TRUE(DeleteFileA((dir_ + "DDDDDDD.003").c_str()));
  DeleteStateFiles("DDDDDDD");
  for (int n = 0; n <= 5; ++n) EXPECT_FALSE(Exists("DDDDDDD" + MemberSuffix(n))) << n;

  // Without its index a state is left alone.
  makeState("CCCCCCC", 2);
  ASSERT_TRUE(DeleteFileA((dir_ + "CCCCCCC.000").c_str()));
  DeleteStateFiles("CCCCCCC");
  EXPECT_TRUE(Exists("CCCCCCC.001"));
}

TEST_F(StateFilesTest, RecordingDateTextUsesTheRegionalSeparators) {
  // Wine's default locale has "/" and ":", as French settings do.
  std::string text = RecordingDateText();
  ASSERT_EQ(text.size(), 24u) << text;
  EXPECT_EQ(text.substr(0, 3), "le ");
  EXPECT_EQ(text.substr(13, 3), " à ");
  for (size_t at : {5u, 8u}) EXPECT_EQ(text[at], '/') << text;
  for (size_t at : {18u, 21u}) EXPECT_EQ(text[at], ':') << text;
}
