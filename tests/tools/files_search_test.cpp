// The file search component on a fixture tree mapped as drive K:.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/wine_fixture.h"
#include "tools/files_search.h"

namespace {

using Strings = std::vector<std::string>;

class FilesSearchTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory();
    const uint32_t date = PackDosTime(1998, 12, 5, 14, 3, 6);
    for (const char* sub : {"A\\", "A\\B\\", "CACHE\\"}) MakeFixtureDirectory(dir_ + sub);
    WriteFixtureFile(dir_ + "racine.txt", "r", date);
    WriteFixtureFile(dir_ + "A\\a.txt", "a", date);
    WriteFixtureFile(dir_ + "A\\B\\b.txt", "b", date);
    WriteFixtureFile(dir_ + "A\\B\\A.TMP", "t", date);
    WriteFixtureFile(dir_ + "cache.sys", "s", date, FILE_ATTRIBUTE_HIDDEN);
    WriteFixtureFile(dir_ + "lecture.txt", "l", date, FILE_ATTRIBUTE_READONLY);
    drive_ = std::make_unique<MappedDrive>('K', dir_);
  }

  // The files a walk from K:\ reports, in their order.
  Strings Walk(const std::function<void(TFilesSearch&)>& setUp) {
    TFilesSearch search;
    search.SetInitialDir("K:\\");
    search.SetInSubDirectories(true);
    if (setUp) setUp(search);
    Strings found;
    search.OnFound = [&](TFilesSearch& s) { found.push_back(s.FoundFile()); };
    search.Execute();
    return found;
  }

  std::string dir_;
  std::unique_ptr<MappedDrive> drive_;
};

}  // namespace

TEST_F(FilesSearchTest, FilesComeAfterThoseOfTheirSubDirectories) {
  const Strings found = Walk([](TFilesSearch& s) { s.SetFileFilter("*.txt"); });
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0], "K:\\A\\B\\b.txt");
  EXPECT_EQ(found[1], "K:\\A\\a.txt");
  // The root's own files last, in the file system's order.
  EXPECT_TRUE((Strings{found[2], found[3]} == Strings{"K:\\racine.txt", "K:\\lecture.txt"}) ||
              (Strings{found[2], found[3]} == Strings{"K:\\lecture.txt", "K:\\racine.txt"}));
}

TEST_F(FilesSearchTest, SwitchesAndMasksChooseWhatIsReported) {
  struct Case {
    const char* what;
    std::function<void(TFilesSearch&)> setUp;
    Strings expected;  // sorted
  };
  const Case cases[] = {
      {"not in sub-directories", [](TFilesSearch& s) { s.SetInSubDirectories(false); },
       {"K:\\lecture.txt", "K:\\racine.txt"}},
      {"hidden files when asked",
       [](TFilesSearch& s) {
         s.SetInSubDirectories(false);
         s.SetIncludeHiddenFiles(true);
       },
       {"K:\\cache.sys", "K:\\lecture.txt", "K:\\racine.txt"}},
      {"read-only files excluded",
       [](TFilesSearch& s) {
         s.SetInSubDirectories(false);
         s.SetExcludeReadOnlyFiles(true);
       },
       {"K:\\racine.txt"}},
      {"star dot tmp", [](TFilesSearch& s) { s.SetFileFilter("*.tmp"); }, {"K:\\A\\B\\A.TMP"}},
      {"an empty mask is every file", [](TFilesSearch& s) { s.SetFileFilter(""); },
       {"K:\\A\\B\\A.TMP", "K:\\A\\B\\b.txt", "K:\\A\\a.txt", "K:\\lecture.txt", "K:\\racine.txt"}},
      {"directories among the entries",
       [](TFilesSearch& s) {
         s.SetInSubDirectories(false);
         s.SetIncludeDirectoryFiles(true);
         s.SetOnlyDirectories(true);
       },
       {"K:\\A", "K:\\CACHE"}},
  };
  for (const Case& c : cases) {
    Strings found = Walk(c.setUp);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.expected) << c.what;
  }
  TFilesSearch search;
  search.SetInitialDir("K:\\");
  search.SetInSubDirectories(true);
  const Strings withSlash = Walk([](TFilesSearch& s) { s.SetInitialDir("K:\\A\\B\\"); });
  const Strings withoutSlash = Walk([](TFilesSearch& s) { s.SetInitialDir("K:\\A\\B"); });
  EXPECT_EQ(withSlash, withoutSlash);
  EXPECT_EQ(withSlash.size(), 2u);
}

TEST(FilesSearchChecks, PathsAndMasksAreCheckedAsTheyAreSet) {
  const std::pair<const char*, bool> paths[] = {
      {"", true},
      {"C:\\WINDOWS\\TEMP", true},
      {"C:\\WINDOWS\\TEMP\\", true},
      {"C:\\DIR.EXT\\SUBDIR", true},
      {"C:\\\\A", false},
      {"C:\\A.B.C", false},
      {"C:\\A.LONG", false},
      {"C:\\.A", false},
      {"C:\\A:B", false},
      {"C:\\A|B", false},
      {"C:\\A\"B", false},
  };
  for (const auto& [path, accepted] : paths) {
    TFilesSearch search;
    search.SetInitialDir("C:\\");
    bool raised = false;
    try {
      search.SetInitialDir(path);
    } catch (const EDirectoryError&) {
      raised = true;
    }
    EXPECT_EQ(!raised, accepted) << path;
    EXPECT_EQ(search.InitialDir(), accepted ? path : "C:\\") << "a refused path leaves the old one: " << path;
  }
  const std::pair<const char*, bool> masks[] = {
      {"*.*", true}, {"*.tmp", true}, {"~~*.*", true}, {".tmp", true}, {"A?B.C", true},
      {"a:b", false}, {"*.t|p", false}, {"*.tm|", false}, {"a\\b", false}, {"a<b", false},
      {"*.tmpx|", true},  // only three characters of the extension are looked at
  };
  for (const auto& [mask, accepted] : masks) {
    TFilesSearch search;
    bool raised = false;
    try {
      search.SetFileFilter(mask);
    } catch (const EDirectoryError&) {
      raised = true;
    }
    EXPECT_EQ(!raised, accepted) << mask;
    EXPECT_EQ(search.FileFilter(), accepted ? mask : "*.*") << mask;
  }
  TFilesSearch search;
  EXPECT_THROW(search.SetOnlyDirectories(true), EDirectoryError);
  search.SetIncludeDirectoryFiles(true);
  search.SetOnlyDirectories(true);
  try {
    search.SetIncludeDirectoryFiles(false);
    ADD_FAILURE() << "no error";
  } catch (const EDirectoryError& e) {
    EXPECT_STREQ(e.what(), "Exclusion invalide");
  }
}

// Stopped set from OnFound ends the walk; OnSearchStatus sees it change.
TEST_F(FilesSearchTest, StoppedEndsTheWalkAtTheNextEntry) {
  TFilesSearch search;
  search.SetInitialDir("K:\\");
  search.SetInSubDirectories(true);
  Strings found, status;
  search.OnFound = [&](TFilesSearch& s) {
    found.push_back(s.FoundFile());
    s.Stopped = true;
  };
  search.OnSearchStatus = [&](TFilesSearch& s) { status.push_back(s.Stopped ? "fin" : "début"); };
  search.Execute();
  EXPECT_EQ(found.size(), 1u);
  EXPECT_EQ(status, (Strings{"début", "fin"}));
  EXPECT_TRUE(search.Stopped);
}

// One window message is dispatched per entry: a timer ticks during a
// walk, and a quit message taken on the way is posted again at its end.
TEST_F(FilesSearchTest, WindowMessagesRunDuringAWalkAndAQuitIsKept) {
  for (int i = 0; i < 40; ++i) WriteFixtureFile(dir_ + "CACHE\\f" + std::to_string(i) + ".dat", "x", PackDosTime(1998, 12, 5, 14, 3, 6));
  static int ticks = 0;
  ticks = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
  TFilesSearch search;
  search.SetInitialDir("K:\\");
  search.SetInSubDirectories(true);
  bool posted = false;
  search.OnFound = [&](TFilesSearch&) {
    Sleep(15);
    if (!posted) PostQuitMessage(7);
    posted = true;
  };
  search.Execute();
  KillTimer(nullptr, timer);
  EXPECT_GT(ticks, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message was lost";
  EXPECT_EQ(msg.wParam, 7u);
}
