// PVUNZIP.DLL through its entry point: which entries are extracted over
// which files, and a target that is never destroyed nor half written, nor
// written outside the target folder, whatever the archive holds.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "support/diskette.h"
#include "support/wine_fixture.h"
#include "tools/zip/zip_container.h"
#include "zip_libraries.h"

namespace {

const uint32_t Older = PackDosTime(1997, 3, 1, 10, 0, 0);
const uint32_t Middle = PackDosTime(1998, 6, 1, 10, 0, 0);
const uint32_t Newer = PackDosTime(1999, 9, 1, 10, 0, 0);

class ZipExtractTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory();
    files_ = dir_ + "fichiers\\";
    target_ = dir_ + "cible\\";
    MakeFixtureDirectory(files_);
    MakeFixtureDirectory(target_);
    archive_ = dir_ + "PVLN0001.ZIP";
  }

  // An archive of these files, all dated Middle, names without directory.
  void MakeArchive(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, bytes] : files) WriteFixtureFile(files_ + name, bytes, Middle);
    ASSERT_EQ(ZipAdd(archive_, {files_ + "*.*"}, nullptr), static_cast<int32_t>(files.size()));
  }

  std::string dir_, files_, target_, archive_;
};

TEST_F(ZipExtractTest, SwitchesChooseWhichExistingFilesAreReplaced) {
  MakeArchive({{"a.txt", "archivé a"}, {"b.txt", "archivé b"}, {"c.txt", "archivé c"}});
  struct Case {
    const char* what;
    UnzipSetting set;
    int32_t count;
    const char *a, *b, *c;  // the target's files afterwards (nullptr: absent)
  };
  const Case cases[] = {
      {"overwrite replaces every file", {}, 3, "archivé a", "archivé b", "archivé c"},
      {"without overwrite, only new files", [](UnzipRequest& r) { r.Overwrite = 0; }, 1, "ancien a", "récent b",
       "archivé c"},
      {"freshen replaces only older files", [](UnzipRequest& r) { r.Freshen = 1; }, 1, "archivé a", "récent b",
       nullptr},
      {"update replaces older files and adds new ones", [](UnzipRequest& r) { r.Update = 1, r.Overwrite = 0; }, 2,
       "archivé a", "récent b", "archivé c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFixtureFile(target_ + "a.txt", "ancien a", Older);
    WriteFixtureFile(target_ + "b.txt", "récent b", Newer);
    DeleteFileA((target_ + "c.txt").c_str());
    Recorder recorder;
    EXPECT_EQ(Unzip(archive_, target_, {}, &recorder, c.set), c.count) << recorder.Dump();
    EXPECT_EQ(recorder.foreignRecords, 0);
    EXPECT_EQ(ReadWholeFile(target_ + "a.txt"), c.a);
    EXPECT_EQ(ReadWholeFile(target_ + "b.txt"), c.b);
    if (c.c) {
      EXPECT_EQ(ReadWholeFile(target_ + "c.txt"), c.c);
      EXPECT_EQ(DosTimeOfFile(target_ + "c.txt"), Middle);
    } else {
      EXPECT_EQ(GetFileAttributesA((target_ + "c.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
}

TEST_F(ZipExtractTest, PatternsAndDirectoryNamesChooseEntriesAndPlaces) {
  WriteFixtureFile(files_ + "x.txt", "x", Middle);
  MakeFixtureDirectory(files_ + "sous");
  WriteFixtureFile(files_ + "sous\\y.txt", "y", Middle);
  WriteFixtureFile(files_ + "sous\\x.txt", "sous x", Middle);
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(files_.c_str());
  ASSERT_EQ(ZipAdd(archive_, {"*.txt"}, nullptr, [](ZipRequest& r) { r.Recurse = 1, r.JunkDirectoryNames = 0; }), 3);
  SetCurrentDirectoryA(previous);
  struct Case {
    const char* what;
    Strings patterns;
    bool directoryNames;
    Strings written;  // relative to the target, sorted
  };
  const Case cases[] = {
      {"every entry, with its directory", {}, true, {"sous\\x.txt", "sous\\y.txt", "x.txt"}},
      {"a full path names the entries whose directories end it, and those without directory",
       {"C:\\RESTAURE\\SOUS\\X.TXT"}, true, {"sous\\x.txt", "x.txt"}},
      {"nor an entry in another directory", {"C:\\RESTAURE\\AUTRE\\Y.TXT"}, true, {}},
      {"a name alone, in every directory", {"y.*"}, true, {"sous\\y.txt"}},
      {"directories dropped, the name part decides", {"C:\\RESTAURE\\Y.TXT"}, false, {"y.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = dir_ + "sortie\\";
    RemoveTree(out);
    MakeFixtureDirectory(out);
    Recorder recorder;
    EXPECT_EQ(Unzip(archive_, out, c.patterns, &recorder, [&](UnzipRequest& r) { r.DirectoryNames = c.directoryNames; }),
              static_cast<int32_t>(c.written.size()))
        << recorder.Dump();
    Strings written;
    for (const std::string& name : NamesIn(out))
      if (name == "sous") {
        for (const std::string& inner : NamesIn(out + "sous\\")) written.push_back("sous\\" + inner);
      } else {
        written.push_back(name);
      }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, c.written);
  }
}

TEST_F(ZipExtractTest, EntriesThatWouldLandOutsideTheTargetAreNeverWritten) {
  WriteRawArchive(archive_, {{"../evasion.txt", "x"},
                             {"sous/../../evasion2.txt", "x"},
                             {"..\\evasion3.txt", "x"},
                             {"C:/evasion4.txt", "x"},
                             {"/evasion5.txt", "x"},
                             {"\\evasion6.txt", "x"},
                             {"sain.txt", "sain"}});
  const std::string inner = target_ + "dedans\\";
  MakeFixtureDirectory(inner);
  for (int directoryNames : {1, 0}) {
    SCOPED_TRACE(directoryNames ? "directory names kept" : "directory names dropped");
    DeleteFileA((inner + "sain.txt").c_str());
    Recorder recorder;
    EXPECT_EQ(Unzip(archive_, inner, {}, &recorder, [&](UnzipRequest& r) { r.DirectoryNames = directoryNames; }), 1);
    int refused = 0;
    for (const Event& e : recorder.events) refused += e.action == ZipActionMessage && e.code == ZipErrorUnsafeName;
    EXPECT_EQ(refused, 6) << recorder.Dump();
    EXPECT_EQ(NamesIn(inner), Strings{"sain.txt"});
    EXPECT_EQ(NamesIn(target_), Strings{"dedans"});
    EXPECT_EQ(NamesIn(dir_), (Strings{"PVLN0001.ZIP", "cible", "fichiers"}));
    for (const char* outside : {"C:\\evasion4.txt", "C:\\evasion5.txt", "C:\\evasion6.txt"})
      EXPECT_EQ(GetFileAttributesA(outside), INVALID_FILE_ATTRIBUTES) << outside;
  }
}

// A damaged archive fails its test and leaves the file it would replace
// untouched, with no temporary file beside it.
TEST_F(ZipExtractTest, DamagedArchivesFailTheirTestAndLeaveTheTargetUntouched) {
  MakeArchive({{"gros.bin", Noise(300000, 1)}, {"texte.txt", std::string(200000, 'a') + "fin"}});
  const std::string whole = ReadWholeFile(archive_);
  const auto entries = EntriesOf(archive_);
  const auto& gros = entries[0].name == "gros.bin" ? entries[0] : entries[1];
  const auto& texte = entries[0].name == "gros.bin" ? entries[1] : entries[0];
  // A byte in the middle of an entry's data: the header, then the name.
  auto flipped = [&](const zip::Entry& e) {
    std::string bytes = whole;
    bytes[e.headerOffset + zip::LocalHeaderSize + e.rawName.size() + e.compressedSize / 2] ^= 0x55;
    return bytes;
  };
  struct Case {
    const char* what;
    std::string bytes;
    int32_t code;
    bool grosDamaged, texteDamaged;
  };
  const Case cases[] = {
      {"truncated in the middle", whole.substr(0, whole.size() / 2), ZipErrorArchive, true, true},
      {"truncated by its last byte", whole.substr(0, whole.size() - 1), ZipErrorArchive, true, true},
      {"no archive at all", std::string(5000, 'P'), ZipErrorArchive, true, true},
      {"random bytes in a deflated entry", flipped(gros), ZipErrorEntry, true, false},
      {"a byte changed in a long run", flipped(texte), ZipErrorEntry, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFixtureFile(archive_, c.bytes, Middle);
    WriteFixtureFile(target_ + "gros.bin", "précieux", Older);
    WriteFixtureFile(target_ + "texte.txt", "précieux", Older);
    Recorder testing;
    EXPECT_LT(Unzip(archive_, target_, {}, &testing, [](UnzipRequest& r) { r.Test = 1; }), 2);
    EXPECT_TRUE(testing.HasMessage(c.code)) << testing.Dump();
    Recorder extracting;
    EXPECT_LT(Unzip(archive_, target_, {}, &extracting), 2);
    EXPECT_TRUE(extracting.HasMessage(c.code)) << extracting.Dump();
    // The damaged entry's target is untouched; the sound one is extracted.
    EXPECT_EQ(ReadWholeFile(target_ + "gros.bin") == "précieux", c.grosDamaged);
    EXPECT_EQ(ReadWholeFile(target_ + "texte.txt") == "précieux", c.texteDamaged);
    EXPECT_EQ(NamesIn(target_), (Strings{"gros.bin", "texte.txt"}));
  }
}

TEST_F(ZipExtractTest, AFullDiskLeavesTheTargetUntouched) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "mounting a small disk needs root";
  MakeArchive({{"gros.bin", Noise(400 << 10, 2)}});
  Diskette diskette('A', dir_, 256);
  ASSERT_TRUE(diskette.Mounted());
  WriteFixtureFile(diskette.Folder() + "gros.bin", "précieux", Older);
  Recorder recorder;
  EXPECT_EQ(Unzip(archive_, diskette.Folder(), {}, &recorder), 0);
  EXPECT_TRUE(recorder.HasMessage(ZipErrorWrite)) << recorder.Dump();
  EXPECT_EQ(NamesIn(diskette.Folder()), Strings{"gros.bin"});
  EXPECT_EQ(ReadWholeFile(diskette.Folder() + "gros.bin"), "précieux");
}

TEST_F(ZipExtractTest, ATargetInUseIsLeftUntouched) {
  MakeArchive({{"pilote.drv", "nouveau pilote"}});
  WriteFixtureFile(target_ + "pilote.drv", "pilote en service", Older);
  HANDLE inUse = CreateFileA((target_ + "pilote.drv").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
  Recorder recorder;
  const int32_t done = Unzip(archive_, target_, {}, &recorder);
  CloseHandle(inUse);
  EXPECT_EQ(done, 0);
  EXPECT_TRUE(recorder.HasMessage(ZipErrorWrite)) << recorder.Dump();
  EXPECT_EQ(NamesIn(target_), Strings{"pilote.drv"});
  EXPECT_EQ(ReadWholeFile(target_ + "pilote.drv"), "pilote en service");
}

TEST_F(ZipExtractTest, NamesComeBackInTheWindowsCodePage) {
  WriteRawArchive(archive_, {{"\xC3\xA9t\xC3\xA9.txt", "utf-8", zip::FlagUtf8},
                             {"\x82" "cole.txt", "ibm 437"},  // "école" without the flag
                             {"Stra\xE1" "e.txt", "ibm 437 ß"}});
  Recorder recorder;
  EXPECT_EQ(Unzip(archive_, target_, {}, &recorder), 3) << recorder.Dump();
  EXPECT_EQ(recorder.NewFiles(), (Strings{"Straße.txt", "école.txt", "été.txt"}));
  EXPECT_EQ(ReadWholeFile(target_ + "été.txt"), "utf-8");
  EXPECT_EQ(ReadWholeFile(target_ + "école.txt"), "ibm 437");
  EXPECT_EQ(ReadWholeFile(target_ + "Straße.txt"), "ibm 437 ß");
}

TEST_F(ZipExtractTest, EncryptedEntriesAndBadRequestsAreRefused) {
  WriteRawArchive(archive_, {{"secret.txt", "chiffré", zip::FlagEncrypted}});
  struct Case {
    const char* what;
    UnzipSetting set;
    int32_t code;
  };
  static char password[ZipPasswordBufferSize] = "motdepasse";
  const Case cases[] = {
      {"an encrypted entry", {}, ZipErrorUnsupported},
      {"an encrypted entry with a password", [](UnzipRequest& r) { r.Password = password; }, ZipErrorUnsupported},
      {"another structure version", [](UnzipRequest& r) { r.Version = 101; }, ZipErrorRequest},
      {"another structure check", [](UnzipRequest& r) { r.Check = 0; }, ZipErrorRequest},
      {"too many patterns", [](UnzipRequest& r) { r.PatternCount = ZipMaxPatterns + 1; }, ZipErrorRequest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder recorder;
    EXPECT_EQ(Unzip(archive_, target_, {}, &recorder, c.set), 0);
    EXPECT_TRUE(recorder.HasMessage(c.code)) << recorder.Dump();
    EXPECT_EQ(NamesIn(target_), Strings{});
  }
}

}  // namespace
