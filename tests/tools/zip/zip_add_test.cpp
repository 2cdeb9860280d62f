// PVZIP.DLL through its entry point: what each switch adds, replaces,
// deletes or moves, and an archive left exactly as it was when the work
// stops or fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

#include "support/diskette.h"
#include "support/wine_fixture.h"
#include "tools/zip/zip_container.h"
#include "zip_libraries.h"

namespace {

using Contents = std::map<std::string, std::string>;

const uint32_t Older = PackDosTime(1997, 3, 1, 10, 0, 0);
const uint32_t Middle = PackDosTime(1998, 6, 1, 10, 0, 0);
const uint32_t Newer = PackDosTime(1999, 9, 1, 10, 0, 2);

std::string Text(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) text += "Ligne " + std::to_string(i % 50) + " du fichier de configuration\r\n";
  return text;
}

class ZipAddTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory();
    files_ = dir_ + "fichiers\\";
    MakeFixtureDirectory(files_);
    archive_ = dir_ + "PVLN0001.ZIP";
    GetCurrentDirectoryA(MAX_PATH, previous_);
    SetCurrentDirectoryA(dir_.c_str());
  }
  void TearDown() override { SetCurrentDirectoryA(previous_); }

  // The archive's entries: each name with the bytes its CRC and size say it
  // holds (one of the expected contents, or "?").
  Contents InArchive(const Contents& expected) const {
    Contents found;
    for (const zip::Entry& e : EntriesOf(archive_)) {
      const auto known = expected.find(e.name);
      const bool same = known != expected.end() && CrcOf(known->second) == e.crc && known->second.size() == e.size;
      found[e.name] = same ? known->second : "?";
    }
    return found;
  }

  std::string dir_, files_, archive_;
  char previous_[MAX_PATH] = {};
};

TEST_F(ZipAddTest, FilesGoInStoredOrDeflatedAndComeBackWithTheirBytesAndDates) {
  const Contents files = {{"texte.txt", Text(3000)}, {"aléa.bin", Noise(70000, 1)}, {"vide.txt", ""}};
  for (const auto& [name, bytes] : files) WriteFixtureFile(files_ + name, bytes, Middle);
  for (int level : {0, 1, 9}) {
    SCOPED_TRACE("level " + std::to_string(level));
    DeleteFileA(archive_.c_str());
    Recorder adding;
    ASSERT_EQ(ZipAdd(archive_, {files_ + "*.*"}, &adding, [&](ZipRequest& r) { r.Level = level; }), 3)
        << adding.Dump();
    EXPECT_EQ(adding.NewFiles(), (Strings{"aléa.bin", "texte.txt", "vide.txt"}));
    EXPECT_EQ(adding.foreignRecords, 0);
    ASSERT_FALSE(adding.events.empty());
    EXPECT_EQ(adding.events.back().action, ZipActionEndBatch);
    for (const zip::Entry& e : EntriesOf(archive_)) {
      EXPECT_EQ(e.method, level == 0 ? zip::MethodStored : zip::MethodDeflated) << e.name;
      EXPECT_EQ(e.DosTime(), Middle) << e.name;
      EXPECT_EQ(e.crc, CrcOf(files.at(e.name))) << e.name;
      if (e.name == "texte.txt" && level > 0) {
        EXPECT_LT(e.compressedSize, e.size / 10);
      }
      if (e.name == "aléa.bin") {
        EXPECT_EQ(e.rawName, "al\xC3\xA9" "a.bin");  // UTF-8, flagged
        EXPECT_TRUE(e.flags & zip::FlagUtf8);
      }
    }

    const std::string out = dir_ + "sortie" + std::to_string(level) + "\\";
    MakeFixtureDirectory(out);
    Recorder testing;
    EXPECT_EQ(Unzip(archive_, out, {}, &testing, [](UnzipRequest& r) { r.Test = 1; }), 3) << testing.Dump();
    EXPECT_TRUE(NamesIn(out).empty()) << "a test writes nothing";
    // No callback at all is allowed too.
    ASSERT_EQ(Unzip(archive_, out, {}, nullptr), 3);
    for (const auto& [name, bytes] : files) {
      EXPECT_EQ(ReadWholeFile(out + name), bytes) << name;
      EXPECT_EQ(DosTimeOfFile(out + name), Middle) << name;
    }
  }
}

TEST_F(ZipAddTest, SwitchesChooseWhichFilesGoInAndWhichEntriesTheyReplace) {
  struct Case {
    const char* what;
    Strings patterns;  // in the files' folder
    ZipSetting set;
    int32_t count;
    Contents expected;
  };
  const Case cases[] = {
      {"adding replaces the entries of the same name, whatever their date", {"*.txt"},
       [](ZipRequest& r) { r.HiddenFiles = 0; }, 3,
       {{"a.txt", "nouveau a"}, {"b.txt", "nouveau b"}, {"c.txt", "ancien c"}}},
      {"hidden and system files when asked", {"*.txt"}, {}, 5,
       {{"a.txt", "nouveau a"}, {"b.txt", "nouveau b"}, {"c.txt", "ancien c"}, {"h.txt", "caché"}, {"s.txt", "système"}}},
      {"freshen replaces only the entries older than their file", {"*.txt"},
       [](ZipRequest& r) { r.Freshen = 1; }, 1,
       {{"a.txt", "nouveau a"}, {"c.txt", "récent c"}}},
      {"update adds new files and replaces older entries", {"*.txt"},
       [](ZipRequest& r) { r.Update = 1; }, 4,
       {{"a.txt", "nouveau a"}, {"b.txt", "nouveau b"}, {"c.txt", "récent c"}, {"h.txt", "caché"}, {"s.txt", "système"}}},
      {"without growing, a new archive", {"B.TXT"}, [](ZipRequest& r) { r.Grow = 0; }, 1, {{"b.txt", "nouveau b"}}},
      {"a name without wildcard, case aside", {"B.TXT"}, {}, 1,
       {{"a.txt", "ancien a"}, {"b.txt", "nouveau b"}, {"c.txt", "récent c"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(archive_.c_str());
    WriteFixtureFile(files_ + "a.txt", "ancien a", Middle);
    WriteFixtureFile(files_ + "c.txt", "récent c", Newer);
    ASSERT_EQ(ZipAdd(archive_, {files_ + "a.txt", files_ + "c.txt"}, nullptr), 2);
    WriteFixtureFile(files_ + "a.txt", "nouveau a", Newer);
    WriteFixtureFile(files_ + "b.txt", "nouveau b", Middle);
    WriteFixtureFile(files_ + "c.txt", "ancien c", Older);
    WriteFixtureFile(files_ + "h.txt", "caché", Middle, FILE_ATTRIBUTE_HIDDEN);
    WriteFixtureFile(files_ + "s.txt", "système", Middle, FILE_ATTRIBUTE_SYSTEM);
    Strings patterns;
    for (const std::string& s : c.patterns) patterns.push_back(files_ + s);
    Recorder recorder;
    EXPECT_EQ(ZipAdd(archive_, patterns, &recorder, c.set), c.count) << recorder.Dump();
    EXPECT_EQ(InArchive(c.expected), c.expected);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "h.txt", "s.txt"}) {
      SetFileAttributesA((files_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA((files_ + name).c_str());
    }
  }
}

TEST_F(ZipAddTest, DirectoryNamesAreKeptOrDroppedAndSubfoldersWalkedOnRequest) {
  WriteFixtureFile(files_ + "x.txt", "x", Middle);
  MakeFixtureDirectory(files_ + "sous");
  WriteFixtureFile(files_ + "sous\\y.txt", "y", Middle);
  MakeFixtureDirectory(files_ + "cache");
  WriteFixtureFile(files_ + "cache\\z.txt", "z", Middle);
  SetFileAttributesA((files_ + "cache").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  std::string stored = dir_.substr(3) + "fichiers/";  // the full path without "C:\"
  std::replace(stored.begin(), stored.end(), '\\', '/');
  struct Case {
    const char* what;
    std::string pattern;
    ZipSetting set;
    Strings expected;
  };
  const Case cases[] = {
      {"names only, this folder only", files_ + "*.txt", {}, {"x.txt"}},
      {"names only, subfolders too", files_ + "*.txt", [](ZipRequest& r) { r.Recurse = 1; },
       {"x.txt", "y.txt", "z.txt"}},
      {"a hidden folder is walked only with hidden files", files_ + "*.txt",
       [](ZipRequest& r) { r.Recurse = 1, r.HiddenFiles = 0; }, {"x.txt", "y.txt"}},
      {"relative names kept", "fichiers\\*.txt", [](ZipRequest& r) { r.Recurse = 1, r.JunkDirectoryNames = 0; },
       {"fichiers/cache/z.txt", "fichiers/sous/y.txt", "fichiers/x.txt"}},
      {"full names kept without their drive", files_ + "*.txt",
       [](ZipRequest& r) { r.JunkDirectoryNames = 0; }, {stored + "x.txt"}},
      {"a folder stands for its files", files_ + "sous", {}, {"y.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(archive_.c_str());
    Recorder recorder;
    EXPECT_EQ(ZipAdd(archive_, {c.pattern}, &recorder, c.set), static_cast<int32_t>(c.expected.size()))
        << recorder.Dump();
    EXPECT_EQ(EntryNames(archive_), c.expected);
  }
}

TEST_F(ZipAddTest, DeletingRemovesTheEntriesThePatternsNameAndKeepsTheOthersWhole) {
  WriteFixtureFile(files_ + "a.txt", Text(200), Middle);
  WriteFixtureFile(files_ + "b.TXT", "b", Middle);
  MakeFixtureDirectory(files_ + "sous");
  WriteFixtureFile(files_ + "sous\\a.txt", "sous a", Middle);
  WriteFixtureFile(files_ + "c.dat", Noise(5000, 2), Middle);
  struct Case {
    const char* what;
    std::string pattern;
    Strings deleted;
  };
  const Case cases[] = {
      {"a full path selects an entry stored without directory by its name", "C:\\WINDOWS\\SYSTEM\\C.DAT", {"c.dat"}},
      {"the path's end must match the entry's directories", "C:\\ailleurs\\fichiers\\sous\\A.TXT",
       {"fichiers/sous/a.txt"}},
      {"wildcards in the name, case aside", "Z:\\x\\fichiers\\?.txt", {"fichiers/a.txt", "fichiers/b.TXT"}},
      {"a name alone selects in every directory", "*.TXT", {"fichiers/a.txt", "fichiers/b.TXT", "fichiers/sous/a.txt"}},
      {"nothing named, nothing changed", "C:\\fichiers\\absent.txt", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(archive_.c_str());
    ASSERT_EQ(ZipAdd(archive_, {"fichiers\\*.txt"}, nullptr, [](ZipRequest& r) { r.Recurse = 1, r.JunkDirectoryNames = 0; }), 3);
    ASSERT_EQ(ZipAdd(archive_, {files_ + "c.dat"}, nullptr), 1);
    const std::string before = ReadWholeFile(archive_);
    Strings kept = EntryNames(archive_);
    for (const std::string& d : c.deleted) kept.erase(std::find(kept.begin(), kept.end(), d));

    Recorder recorder;
    EXPECT_EQ(ZipDelete(archive_, {c.pattern}, &recorder), static_cast<int32_t>(c.deleted.size())) << recorder.Dump();
    EXPECT_EQ(EntryNames(archive_), kept);
    if (c.deleted.empty()) {
      EXPECT_TRUE(ReadWholeFile(archive_) == before) << "the archive changed";
    }
    const std::string out = dir_ + "test\\";
    CreateDirectoryA(out.c_str(), nullptr);
    EXPECT_EQ(Unzip(archive_, out, {}, nullptr, [](UnzipRequest& r) { r.Test = 1; }),
              static_cast<int32_t>(kept.size()));
  }
}

TEST_F(ZipAddTest, MovedFilesAreDeletedOnceInTheArchiveWhichTakesTheNewestDateWhenAsked) {
  WriteFixtureFile(files_ + "a.txt", "a", Middle);
  WriteFixtureFile(files_ + "b.txt", "b", Newer);
  WriteFixtureFile(files_ + "c.txt", "c", Older);
  ASSERT_EQ(ZipAdd(archive_, {files_ + "c.txt"}, nullptr), 1);
  EXPECT_NE(DosTimeOfFile(archive_), Older) << "the archive keeps its own date unless asked";
  Recorder recorder;
  ASSERT_EQ(ZipAdd(archive_, {files_ + "?.txt"}, &recorder, [](ZipRequest& r) { r.Move = 1, r.ArchiveTime = 1; }), 3)
      << recorder.Dump();
  EXPECT_EQ(NamesIn(files_), Strings{});
  EXPECT_EQ(InArchive({{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}}),
            (Contents{{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}}));
  EXPECT_EQ(DosTimeOfFile(archive_), Newer);
}

// A stop asked by the callback, at any point of any operation, leaves the
// archive, the files to move and the targets as they were, and no
// temporary file; the callback hears nothing more.
TEST_F(ZipAddTest, AnAnswerOfOneStopsEveryOperationAndChangesNothing) {
  const std::string out = dir_ + "cible\\";
  MakeFixtureDirectory(out);
  struct Case {
    const char* what;
    int32_t action;
    int at;
    std::function<int32_t(Recorder&)> run;
  };
  const Case cases[] = {
      {"adding with move, in the middle of a large file", ZipActionProgress, 2,
       [&](Recorder& r) { return ZipAdd(archive_, {files_ + "*.*"}, &r, [](ZipRequest& q) { q.Move = 1; }); }},
      {"adding, at its second file", ZipActionNewFile, 2, [&](Recorder& r) { return ZipAdd(archive_, {files_ + "*.*"}, &r); }},
      {"deleting, at its first entry", ZipActionNewFile, 1,
       [&](Recorder& r) { return ZipDelete(archive_, {"gros.bin"}, &r); }},
      {"extracting, in the middle of a large file", ZipActionProgress, 2,
       [&](Recorder& r) { return Unzip(archive_, out, {"gros.bin"}, &r); }},
      {"testing, at its first message", ZipActionMessage, 1,
       [&](Recorder& r) { return Unzip(archive_, out, {}, &r, [](UnzipRequest& q) { q.Test = 1, q.Verbose = 1; }); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(archive_.c_str());
    WriteFixtureFile(files_ + "gros.bin", Noise(3 << 20, 3), Middle);
    WriteFixtureFile(files_ + "petit.txt", "petit", Middle);
    ASSERT_EQ(ZipAdd(archive_, {files_ + "*.*"}, nullptr), 2);
    WriteFixtureFile(files_ + "gros.bin", Noise(3 << 20, 4), Newer);
    WriteFixtureFile(out + "gros.bin", "ancienne cible", Older);
    const std::string before = ReadWholeFile(archive_);

    Recorder recorder;
    recorder.stopAction = c.action;
    recorder.stopAt = c.at;
    EXPECT_EQ(c.run(recorder), 0) << recorder.Dump();
    EXPECT_EQ(recorder.callsAfterStop, 0);
    EXPECT_TRUE(ReadWholeFile(archive_) == before) << "the archive changed";
    EXPECT_EQ(NamesIn(dir_), (Strings{"PVLN0001.ZIP", "cible", "fichiers"}));
    EXPECT_EQ(NamesIn(files_), (Strings{"gros.bin", "petit.txt"}));
    EXPECT_EQ(NamesIn(out), Strings{"gros.bin"});
    EXPECT_EQ(ReadWholeFile(out + "gros.bin"), "ancienne cible");
  }
}

TEST_F(ZipAddTest, AFullDiskLeavesTheOldArchiveAsItWas) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "mounting a small disk needs root";
  Diskette diskette('A', dir_, 256);
  ASSERT_TRUE(diskette.Mounted());
  const std::string archive = diskette.Folder() + "PVLN0001.ZIP";
  WriteFixtureFile(files_ + "petit.txt", "petit", Middle);
  ASSERT_EQ(ZipAdd(archive, {files_ + "petit.txt"}, nullptr), 1);
  const std::string before = ReadWholeFile(archive);
  WriteFixtureFile(files_ + "gros.bin", Noise(600 << 10, 5), Middle);

  Recorder recorder;
  EXPECT_EQ(ZipAdd(archive, {files_ + "gros.bin"}, &recorder), 0);
  EXPECT_TRUE(recorder.HasMessage(ZipErrorWrite)) << recorder.Dump();
  EXPECT_TRUE(ReadWholeFile(archive) == before) << "the archive changed";
  EXPECT_EQ(NamesIn(diskette.Folder()), Strings{"PVLN0001.ZIP"});
  EXPECT_EQ(NamesIn(files_), (Strings{"gros.bin", "petit.txt"}));
}

TEST_F(ZipAddTest, RefusedRequestsDoNothingAndSaySo) {
  WriteFixtureFile(files_ + "a.txt", "a", Middle);
  const std::string huge = files_ + "énorme.bin";  // sparse: 4 GiB without the bytes
  {
    HANDLE h = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = 0x100000000LL;
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
  }
  struct Case {
    const char* what;
    Strings patterns;
    ZipSetting set;
    int32_t code;
  };
  const Case cases[] = {
      {"encryption", {"a.txt"}, [](ZipRequest& r) { r.Encrypt = 1; }, ZipErrorUnsupported},
      {"a file of 4 GiB", {"énorme.bin"}, {}, ZipErrorUnsupported},
      {"another structure version", {"a.txt"}, [](ZipRequest& r) { r.Version = 99; }, ZipErrorRequest},
      {"another structure check", {"a.txt"}, [](ZipRequest& r) { r.Check = 6; }, ZipErrorRequest},
      {"too many patterns", {"a.txt"}, [](ZipRequest& r) { r.PatternCount = ZipMaxPatterns + 1; }, ZipErrorRequest},
      {"a negative count", {"a.txt"}, [](ZipRequest& r) { r.PatternCount = -1; }, ZipErrorRequest},
      {"no file matches", {"absent.*"}, {}, ZipErrorRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Strings patterns;
    for (const std::string& s : c.patterns) patterns.push_back(files_ + s);
    Recorder recorder;
    EXPECT_EQ(ZipAdd(archive_, patterns, &recorder, c.set), 0);
    EXPECT_TRUE(recorder.HasMessage(c.code)) << recorder.Dump();
    EXPECT_EQ(recorder.foreignRecords, 0);
    EXPECT_EQ(NamesIn(dir_), Strings{"fichiers"}) << "no archive, no temporary file";
  }
  DeleteFileA(huge.c_str());
}

}  // namespace
