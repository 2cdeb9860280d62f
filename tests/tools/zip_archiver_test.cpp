// The archive component: its listing of archives built byte by byte, its
// requests and callbacks through stand-in libraries that misbehave on
// purpose (tests/tools/helpers/fake_zip.cpp), and the real libraries when
// they are built. Its message boxes are answered from a second thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "tools/zip_archiver.h"

namespace {

using Strings = std::vector<std::string>;

const std::string Fatal = "Erreur: Erreur fatale dans la bibliothèque ZIP : opération abandonnée.";
const std::string NoValidEntry = "Erreur: Aucune entrée valide dans l'archive.";

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// ---- archives built byte by byte --------------------------------------------------------

struct Stored {
  std::string name, data;
  uint16_t flags = 0;
};

void Put16(std::string& out, uint32_t v) { out += {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A local header and its data; `size` overrides the compressed size.
std::string LocalEntry(const Stored& e, int64_t size = -1) {
  std::string out = "PK\x03\x04";
  Put16(out, 10);
  Put16(out, e.flags);
  Put16(out, 0);  // stored
  Put16(out, 0x6000);
  Put16(out, 0x2598);
  Put32(out, 0x12345678);
  Put32(out, size < 0 ? static_cast<uint32_t>(e.data.size()) : static_cast<uint32_t>(size));
  Put32(out, static_cast<uint32_t>(e.data.size()));
  Put16(out, static_cast<uint32_t>(e.name.size()));
  Put16(out, 4);
  return out + e.name + std::string("\x01\x02\x00\x00", 4) + e.data;
}

std::string CentralDirectory(const std::vector<Stored>& entries) {
  std::string out;
  for (const Stored& e : entries) {
    out += "PK\x01\x02";
    out.append(24, '\0');
    Put16(out, static_cast<uint32_t>(e.name.size()));
    out.append(16, '\0');
    out += e.name;
  }
  out += "PK\x05\x06";
  out.append(18, '\0');
  return out;
}

std::string StoredArchive(const std::vector<Stored>& entries) {
  std::string out;
  for (const Stored& e : entries) out += LocalEntry(e);
  return out + CentralDirectory(entries);
}

const std::vector<Stored> Three = {{"un.txt", "premier"}, {"deux.ini", "second fichier"}, {"trois.dll", "3"}};

Strings NamesOf(const TZipArchiver& zip) {
  Strings names;
  for (const ArchiveEntry& e : zip.ArchiveEntries) names.push_back(e.FileName);
  return names;
}

// ---- the fixture ------------------------------------------------------------------------

class ZipArchiverTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory();
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    savedDirectory_ = current;
    SetCurrentDirectoryA(dir_.c_str());
    MakeFixtureDirectory(dir_ + "nolib\\");
    UseLibraries(dir_ + "nolib\\");
    log_ = dir_ + "fake.log";
    SetEnvironmentVariableA("PV_FAKE_ZIP_LOG", log_.c_str());
    Script("");
  }
  void TearDown() override {
    TZipArchiver::FreeZipLibrary();
    TZipArchiver::FreeUnzipLibrary();
    SetDllDirectoryA(nullptr);
    SetCurrentDirectoryA(savedDirectory_.c_str());
    SetEnvironmentVariableA("PV_FAKE_ZIP_LOG", nullptr);
    SetEnvironmentVariableA("PV_FAKE_ZIP_SCRIPT", nullptr);
  }

  static void UseLibraries(const std::string& directory) { SetDllDirectoryA(directory.c_str()); }
  static std::string Fakes(const char* kind) { return WindowsPath(std::string(PV_FAKE_ZIP_DIR) + "/" + kind); }
  static void Script(const std::string& script) { SetEnvironmentVariableA("PV_FAKE_ZIP_SCRIPT", script.c_str()); }

  std::string Archive(const std::string& name, const std::string& bytes) {
    WriteFixtureFile(dir_ + name, bytes, PackDosTime(1999, 3, 1, 12, 0, 0));
    return dir_ + name;
  }

  // Runs `operation` here while a second thread answers every box it
  // opens; gives them as "title: text", in order. An exception of the
  // operation comes out once the boxes are answered.
  static Strings Boxes(const std::function<void()>& operation) {
    Strings boxes;
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    WhileModal(
        [&] {
          try {
            operation();
          } catch (...) {
            failure = std::current_exception();
          }
          done = true;
        },
        [&] {
          while (!done) {
            for (const char* title : {"Erreur", "Information", "Avertissement", "Confirmation"}) {
              HWND box = WaitForWindow(title, 0);
              if (!box) continue;
              boxes.push_back(std::string(title) + ": " + MessageBoxText(box));
              PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
              WaitUntil([box] { return !IsWindow(box); }, 5000);
            }
            Sleep(10);
          }
        });
    if (failure) std::rethrow_exception(failure);
    return boxes;
  }

  // Every line the stand-in libraries logged.
  Strings LogLines() const {
    Strings lines;
    std::istringstream in(ReadWholeFile(log_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The requests the libraries were given, each as its key=value pairs.
  std::vector<std::map<std::string, std::string>> Requests() const {
    std::vector<std::map<std::string, std::string>> requests;
    for (const std::string& line : LogLines()) {
      if (line.rfind("ZipExecute", 0) != 0 && line.rfind("UnzipExecute", 0) != 0) continue;
      std::map<std::string, std::string> fields{{"Entry", line.substr(0, line.find('\t'))}};
      std::istringstream in(line);
      for (std::string pair; std::getline(in, pair, '\t');)
        if (size_t eq = pair.find('='); eq != std::string::npos) fields[pair.substr(0, eq)] = pair.substr(eq + 1);
      requests.push_back(fields);
    }
    return requests;
  }

  std::string dir_, log_, savedDirectory_;
};

std::string PointerText(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

}  // namespace

// ---- listing ------------------------------------------------------------------------------

TEST_F(ZipArchiverTest, ThreeStoredFilesAreListedInFileOrder) {
  TZipArchiver zip(nullptr);
  int read = 0;
  zip.OnEntriesRead = [&](TZipArchiver&) { ++read; };
  const std::string name = Archive("TROIS.ZIP", StoredArchive(Three));
  EXPECT_TRUE(Boxes([&] { zip.SetArchiveName(name); }).empty());
  EXPECT_EQ(zip.ArchiveName(), name);
  EXPECT_EQ(read, 1);
  EXPECT_EQ(NamesOf(zip), (Strings{"un.txt", "deux.ini", "trois.dll"}));
  ASSERT_EQ(zip.ArchiveEntries.size(), 3u);
  const ArchiveEntry& second = zip.ArchiveEntries[1];
  EXPECT_EQ(second.CompressedSize, 14u);
  EXPECT_EQ(second.UncompressedSize, 14u);
  EXPECT_EQ(second.Crc32, 0x12345678u);
  EXPECT_EQ(second.ModificationDate, 0x2598);
  EXPECT_EQ(second.FileNameLength, 8);
  EXPECT_EQ(second.ExtraFieldLength, 4);
  EXPECT_EQ(zip.FirstEntryOffset, 0);
}

TEST_F(ZipArchiverTest, EntryNamesAreShownInCp1252) {
  // "é" is E9 in CP1252, 82 in IBM 437, C3 A9 in UTF-8.
  TZipArchiver zip(nullptr);
  const std::string name = Archive(
      "NOMS.ZIP", StoredArchive({{"caf\xC3\xA9.txt", "u", 0x0800}, {"caf\x82.txt", "d"}, {"gar\x87on", "x"}}));
  zip.SetArchiveName(name);
  EXPECT_EQ(NamesOf(zip), (Strings{"café.txt", "café.txt", "garçon"}));
}

TEST_F(ZipArchiverTest, TheFirstHeaderIsSoughtWithinItsLimits) {
  struct Case {
    const char* what;
    const char* file;
    std::string before;  // the bytes before the archive
    int64_t firstEntry;
  };
  const std::string stub(14000, '\0');
  const Case cases[] = {
      {"right at the start", "A.ZIP", "", 0},
      {"the last byte the search may start from", "B.ZIP", std::string(59999, '\0'), 59999},
      {"a P just before the signature", "C.ZIP", "xxP", 3},
      {"a self-extractor from byte 14000, a signature before it not taken", "D.EXE",
       "PK\x03\x04" + std::string(13996, 'z'), 14000},
      {"the extension in any case", "E.exe", stub, 14000},
      {"a self-extractor searched 60000 bytes from 14000", "F.EXE", stub + std::string(59999, '\0'), 73999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZipArchiver zip(nullptr);
    const std::string name = Archive(c.file, c.before + StoredArchive(Three));
    EXPECT_TRUE(Boxes([&] { zip.SetArchiveName(name); }).empty());
    EXPECT_EQ(zip.FirstEntryOffset, c.firstEntry);
    EXPECT_EQ(NamesOf(zip), (Strings{"un.txt", "deux.ini", "trois.dll"}));
  }
}

TEST_F(ZipArchiverTest, ArchivesWithoutAValidEntrySaySoAndListNothing) {
  struct Case {
    const char* what;
    const char* file;
    std::string bytes;
  };
  const Case cases[] = {
      {"an empty file", "VIDE.ZIP", ""},
      {"no signature in the first 60000 bytes", "LOIN.ZIP", std::string(60000, '\0') + StoredArchive(Three)},
      {"text", "TEXTE.ZIP", "PKZIP n'a pas \x03\x04 de PK ici"},
      {"a self-extractor whose only entry lies before byte 14000", "AVANT.EXE",
       StoredArchive(Three) + std::string(14000, '\0')},
      {"a first header cut short", "COURT.ZIP", "PK\x03\x04\x0A\x00"},
      {"a first entry longer than the file", "LONG.ZIP", LocalEntry(Three[0], 5000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZipArchiver zip(nullptr);
    zip.ArchiveEntries.push_back({});
    int read = 0;
    zip.OnEntriesRead = [&](TZipArchiver& z) { read += z.ArchiveEntries.empty() ? 1 : 100; };
    const std::string name = Archive(c.file, c.bytes);
    EXPECT_EQ(Boxes([&] { zip.SetArchiveName(name); }), Strings{NoValidEntry});
    EXPECT_TRUE(zip.ArchiveEntries.empty());
    EXPECT_EQ(read, 1);
  }
}

TEST_F(ZipArchiverTest, AMissingArchiveEmptiesTheListWithoutAMessage) {
  TZipArchiver zip(nullptr);
  zip.SetArchiveName(Archive("TROIS.ZIP", StoredArchive(Three)));
  ASSERT_EQ(zip.ArchiveEntries.size(), 3u);
  int read = 0;
  zip.OnEntriesRead = [&](TZipArchiver& z) { read += z.ArchiveEntries.empty() ? 1 : 100; };
  EXPECT_TRUE(Boxes([&] { zip.SetArchiveName(dir_ + "ABSENT.ZIP"); }).empty());
  EXPECT_TRUE(Boxes([&] { zip.SetArchiveName(""); }).empty());
  EXPECT_EQ(read, 2);
}

TEST_F(ZipArchiverTest, ADamagedArchiveKeepsTheEntriesReadBeforeTheDamage) {
  const std::string two = LocalEntry(Three[0]) + LocalEntry(Three[1]);
  const std::string third = LocalEntry(Three[2]);
  struct Case {
    const char* what;
    std::string bytes;
    const char* error;
    Strings kept;
  };
  const Strings first2 = {"un.txt", "deux.ini"};
  const Case cases[] = {
      {"a third header cut short", two + third.substr(0, 26), "Erreur 2 de lecture de l'archive.", first2},
      {"a third name cut short", two + third.substr(0, 33), "Erreur 2 de lecture de l'archive.", first2},
      {"a third entry longer than the file", two + LocalEntry(Three[2], 1000) + std::string(30, '\0'),
       "Erreur 3 de lecture de l'archive.", first2},
      {"a third entry that leaves no room for an end record", two + third + std::string(21, '\0'),
       "Erreur 3 de lecture de l'archive.", first2},
      {"no central directory after the entries", two + third + std::string(23, '\0'),
       "Erreur de lecture de l'archive.", {"un.txt", "deux.ini", "trois.dll"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZipArchiver zip(nullptr);
    int read = 0;
    zip.OnEntriesRead = [&](TZipArchiver&) { ++read; };
    const std::string name = Archive("ABIME.ZIP", c.bytes);
    std::string error;
    EXPECT_TRUE(Boxes([&] {
                  try {
                    zip.SetArchiveName(name);
                  } catch (const EStreamError& e) {
                    error = e.what();
                  }
                }).empty());
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(read, 1);
    EXPECT_EQ(NamesOf(zip), c.kept);
  }
}

TEST_F(ZipArchiverTest, AnArchiveThatAnotherProgramWritesCannotBeRead) {
  const std::string name = Archive("OUVERT.ZIP", StoredArchive(Three));
  HANDLE writer = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  TZipArchiver zip(nullptr);
  EXPECT_THROW(zip.SetArchiveName(name), EStreamError);
  EXPECT_TRUE(zip.ArchiveEntries.empty());
  CloseHandle(writer);
  zip.ReadContents();
  EXPECT_EQ(zip.ArchiveEntries.size(), 3u);
}

// ---- operations through the stand-in libraries ------------------------------------------

TEST_F(ZipArchiverTest, RequestsThatCannotBeMadeAreRefusedBeforeAnyLibrary) {
  UseLibraries(Fakes("scripted"));
  const std::string archive = Archive("TROIS.ZIP", StoredArchive(Three));
  const std::string longName = dir_ + std::string(256 - dir_.size(), 'n');
  struct Case {
    const char* what;
    std::function<void(TZipArchiver&)> setUp;
    void (TZipArchiver::*operation)();
    std::string message;
  };
  const Case cases[] = {
      {"adding nothing", [](TZipArchiver&) {}, &TZipArchiver::AddFiles,
       "Erreur: Erreur : aucun fichier à archiver."},
      {"adding to no archive", [](TZipArchiver& z) { z.SetArchiveName(""); }, &TZipArchiver::AddFiles,
       "Erreur: Erreur : aucune archive indiquée."},
      {"deleting nothing", [](TZipArchiver&) {}, &TZipArchiver::DeleteFiles,
       "Erreur: Erreur : aucun fichier à supprimer de l'archive."},
      {"deleting from a missing archive", [&](TZipArchiver& z) { z.SetArchiveName(dir_ + "ABSENT.ZIP"); },
       &TZipArchiver::DeleteFiles, "Erreur: Erreur : aucune archive indiquée."},
      {"extracting from a missing archive", [&](TZipArchiver& z) { z.SetArchiveName(dir_ + "ABSENT.ZIP"); },
       &TZipArchiver::ExtractFiles, "Erreur: Erreur : aucune archive indiquée."},
      {"extracting into a missing directory", [&](TZipArchiver& z) { z.ExtractDir = dir_ + "AILLEURS"; },
       &TZipArchiver::ExtractFiles,
       "Erreur: Erreur : le répertoire d'extraction " + dir_ + "AILLEURS est introuvable."},
      {"a name longer than its buffer", [&](TZipArchiver& z) { z.FileSpecs.push_back(longName); },
       &TZipArchiver::DeleteFiles, "Erreur: Erreur : le nom " + longName + " dépasse 255 caractères."},
      {"more names than the request holds",
       [](TZipArchiver& z) { z.FileSpecs.assign(4098, "a.txt"); }, &TZipArchiver::AddFiles,
       "Erreur: Erreur : plus de 4097 fichiers indiqués."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZipArchiver zip(nullptr);
    zip.SetArchiveName(archive);
    const bool empty = std::string(c.what).find("nothing") != std::string::npos;
    if (!empty) zip.FileSpecs = {dir_ + "a.txt"};
    c.setUp(zip);
    const Strings patterns = zip.FileSpecs;
    EXPECT_EQ(Boxes([&] { (zip.*c.operation)(); }), Strings{c.message});
    EXPECT_EQ(zip.FileSpecs, patterns);
    EXPECT_FALSE(zip.Zipping || zip.Unzipping);
    EXPECT_EQ(ReadWholeFile(archive), StoredArchive(Three));
    EXPECT_TRUE(LogLines().empty());
  }
}

TEST_F(ZipArchiverTest, RequestsCarryThePropertiesInTheirFields) {
  UseLibraries(Fakes("scripted"));
  const std::string archive = Archive("TROIS.ZIP", StoredArchive(Three));
  MakeFixtureDirectory(dir_ + "dest\\");
  const std::string password(100, 'p');
  struct Case {
    const char* what;
    std::function<void(TZipArchiver&)> setUp;
    void (TZipArchiver::*operation)();
    Strings fields;  // key=value
  };
  const Case cases[] = {
      {"adding as the backup does",
       [](TZipArchiver& z) { z.AddSwitches = {asHiddenFiles}; }, &TZipArchiver::AddFiles,
       {"Entry=ZipExecute", "Version=100", "Check=7", "Trace=0", "Verbose=0", "Quiet=1", "NoDirectoryEntries=1",
        "Level=9", "HiddenFiles=1", "Encrypt=0", "JunkDirectoryNames=1", "Recurse=0", "Grow=1", "DosNames=0",
        "Move=0", "DeleteEntries=0", "Update=0", "Freshen=0", "ArchiveTime=0", "Zeros=0", "Password="}},
      {"adding with every switch, update before freshen",
       [&](TZipArchiver& z) {
         z.AddSwitches = {asDirNames, asRecurseDirs, asMove, asFreshen, asUpdate, asArchiveTime, asDosNames, asEncrypt};
         z.CompressionLevel = 0;
         z.Verbose = true;
         z.Password = password;
       },
       &TZipArchiver::AddFiles,
       {"Verbose=1", "Level=0", "HiddenFiles=0", "Encrypt=1", "JunkDirectoryNames=0", "Recurse=1", "Grow=1",
        "DosNames=1", "Move=1", "Update=1", "Freshen=0", "ArchiveTime=1", "Password=" + password.substr(0, 80)}},
      {"adding fresher files, traced", [](TZipArchiver& z) {
         z.AddSwitches = {asFreshen};
         z.Trace = true;
       },
       &TZipArchiver::AddFiles, {"Trace=1", "Verbose=1", "Freshen=1", "Update=0"}},
      {"deleting forces its fields",
       [](TZipArchiver& z) {
         z.AddSwitches = {asDirNames, asRecurseDirs, asMove, asFreshen, asUpdate, asArchiveTime, asDosNames,
                          asEncrypt, asHiddenFiles};
       },
       &TZipArchiver::DeleteFiles,
       {"Entry=ZipExecute", "DeleteEntries=1", "JunkDirectoryNames=0", "Recurse=0", "Grow=0", "Move=0", "Update=0",
        "Freshen=0", "Encrypt=0", "DosNames=1", "ArchiveTime=1", "HiddenFiles=1", "Zeros=0", "Check=7"}},
      {"extracting as the restore does",
       [&](TZipArchiver& z) {
         z.ExtractSwitches = {esFreshen, esTest, esOverwrite};
         z.ExtractDir = dir_ + "dest";
       },
       &TZipArchiver::ExtractFiles,
       {"Entry=UnzipExecute", "Version=100", "Check=7", "Quiet=1", "Verbose=0", "Trace=0", "Test=1", "Freshen=1",
        "Update=0", "Overwrite=1", "DirectoryNames=0", "Zeros=0", "CurrentDirectory=" + dir_ + "dest"}},
      {"extracting newer files with their directories",
       [](TZipArchiver& z) { z.ExtractSwitches = {esUpdate, esFreshen, esDirNames}; }, &TZipArchiver::ExtractFiles,
       {"Entry=UnzipExecute", "Test=0", "Update=1", "Freshen=0", "DirectoryNames=1", "Overwrite=0",
        "CurrentDirectory=" + dir_.substr(0, dir_.size() - 1)}},
  };
  const HWND owner = reinterpret_cast<HWND>(0x1234);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(log_.c_str());
    SetCurrentDirectoryA(dir_.c_str());
    TZipArchiver zip(owner);
    zip.SetArchiveName(archive);
    zip.FileSpecs = {dir_ + "a.txt", "*.ini"};
    c.setUp(zip);
    const Strings boxes = Boxes([&] { (zip.*c.operation)(); });
    EXPECT_EQ(boxes, zip.Trace ? Strings{"Information: Bibliothèque PVZIP chargée."} : Strings{});
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    auto request = requests[0];
    for (const std::string& field : c.fields) {
      const std::string key = field.substr(0, field.find('='));
      EXPECT_EQ(key + "=" + request[key], field);
    }
    EXPECT_EQ(request["Owner"], PointerText(owner));
    EXPECT_EQ(request["Component"], PointerText(&zip));
    EXPECT_EQ(request["ArchiveName"], archive);
    EXPECT_EQ(request["PatternCount"], "2");
    EXPECT_EQ(request["Pattern0"], dir_ + "a.txt");
    EXPECT_EQ(request["Pattern1"], "*.ini");
    EXPECT_EQ(zip.ProcessedCount, 2);
    EXPECT_TRUE(zip.FileSpecs.empty());
    EXPECT_FALSE(TZipArchiver::ZipLibraryLoaded() || TZipArchiver::UnzipLibraryLoaded());
  }
}

TEST_F(ZipArchiverTest, CallbacksReachTheHandlers) {
  UseLibraries(Fakes("scripted"));
  Script("new:C:\\WINDOWS\\a.txt:1234|step|stranger|msg:7:Fichier absent~^|msg:0:seul^|msg:3:trois^^^|end|return:1");
  struct Progress {
    ProgressType type;
    std::string name;
    int32_t size;
    bool operator==(const Progress&) const = default;
  };
  std::vector<Progress> progress;
  std::vector<std::pair<int, std::string>> messages;
  TZipArchiver zip(nullptr);
  zip.SetArchiveName(Archive("TROIS.ZIP", StoredArchive({Three[0]})));
  int read = 0;
  zip.OnEntriesRead = [&](TZipArchiver&) { ++read; };
  zip.OnProgress = [&](TZipArchiver& z, ProgressType t, const std::string& n, int32_t s) {
    EXPECT_EQ(&z, &zip);
    EXPECT_TRUE(z.Zipping);
    progress.push_back({t, n, s});
  };
  zip.OnMessage = [&](TZipArchiver&, int code, const std::string& text) { messages.emplace_back(code, text); };
  zip.FileSpecs = {"a.txt"};
  // The archive changes under the library: the component lists it again.
  WriteFixtureFile(zip.ArchiveName(), StoredArchive(Three), PackDosTime(1999, 3, 1, 12, 0, 0));
  EXPECT_TRUE(Boxes([&] { zip.AddFiles(); }).empty());
  EXPECT_EQ(progress, (std::vector<Progress>{{NewFile, "C:\\WINDOWS\\a.txt", 1234}, {ProgressUpdate, " ", 0},
                                             {EndOfBatch, " ", 0}}));
  EXPECT_EQ(messages, (std::vector<std::pair<int, std::string>>{{7, "Fichier absent"}, {0, "seul"}, {3, "trois\n"}}));
  EXPECT_EQ(zip.ProcessedCount, 1);
  EXPECT_EQ(read, 1);
  EXPECT_EQ(zip.ArchiveEntries.size(), 3u);

  // Nothing processed: the list is not read again.
  Script("return:0");
  zip.FileSpecs = {"a.txt"};
  zip.AddFiles();
  EXPECT_EQ(zip.ProcessedCount, 0);
  EXPECT_EQ(read, 1);
}

TEST_F(ZipArchiverTest, CancelStopsTheLibraryAndIsClearedAfterwards) {
  UseLibraries(Fakes("scripted"));
  Script("until-stop");
  TZipArchiver zip(nullptr);
  zip.SetArchiveName(Archive("TROIS.ZIP", StoredArchive(Three)));
  int steps = 0;
  zip.OnProgress = [&](TZipArchiver& z, ProgressType, const std::string&, int32_t) {
    if (++steps == 3) z.Cancel = true;
  };
  zip.Cancel = true;  // a stop asked before is forgotten
  zip.FileSpecs = {"a.txt"};
  zip.ExtractFiles();
  const Strings log = LogLines();
  EXPECT_EQ(Strings(log.begin() + 1, log.end()), (Strings{"answer=0", "answer=0", "answer=1", "stopped after 3"}));
  EXPECT_FALSE(zip.Cancel);
  EXPECT_FALSE(zip.Unzipping);
}

TEST_F(ZipArchiverTest, ASecondOperationFromAHandlerDoesNothing) {
  UseLibraries(Fakes("scripted"));
  Script("new:a.txt:10|end");
  const std::string archive = Archive("TROIS.ZIP", StoredArchive(Three));
  struct Case {
    const char* what;
    void (TZipArchiver::*operation)();
    void (TZipArchiver::*again)();
  };
  const Case cases[] = {
      {"adding while adding", &TZipArchiver::AddFiles, &TZipArchiver::AddFiles},
      {"deleting while adding", &TZipArchiver::AddFiles, &TZipArchiver::DeleteFiles},
      {"extracting while extracting", &TZipArchiver::ExtractFiles, &TZipArchiver::ExtractFiles},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(log_.c_str());
    TZipArchiver zip(nullptr);
    zip.SetArchiveName(archive);
    int calls = 0;
    zip.OnProgress = [&](TZipArchiver& z, ProgressType type, const std::string&, int32_t) {
      if (type != NewFile) return;
      ++calls;
      z.FileSpecs = {"b.txt"};
      (z.*c.again)();
    };
    zip.FileSpecs = {"a.txt"};
    EXPECT_TRUE(Boxes([&] { (zip.*c.operation)(); }).empty());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_FALSE(zip.Zipping || zip.Unzipping);
  }
}

TEST_F(ZipArchiverTest, MissingLibrariesAndEntryPointsAreReported) {
  const std::string archive = Archive("TROIS.ZIP", StoredArchive(Three));
  struct Case {
    const char* what;
    const char* kind;  // nullptr: no library anywhere
    void (TZipArchiver::*operation)();
    Strings boxes;
    bool called, patternsEmptied;
  };
  const Case cases[] = {
      {"no PVZIP.DLL", nullptr, &TZipArchiver::AddFiles, {"Erreur: PVZIP.DLL est introuvable."}, false, false},
      {"no PVUNZIP.DLL", nullptr, &TZipArchiver::ExtractFiles, {"Erreur: PVUNZIP.DLL est introuvable."}, false,
       false},
      {"no ZipExecute", "incomplete", &TZipArchiver::DeleteFiles,
       {"Erreur: La fonction ZipExecute est absente de PVZIP.DLL.", Fatal}, false, true},
      {"no UnzipLibraryVersion", "incomplete", &TZipArchiver::ExtractFiles,
       {"Erreur: La fonction UnzipLibraryVersion est absente de PVUNZIP.DLL."}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(log_.c_str());
    UseLibraries(c.kind ? Fakes(c.kind) : dir_ + "nolib\\");
    TZipArchiver zip(nullptr);
    zip.SetArchiveName(archive);
    zip.FileSpecs = {"a.txt"};
    zip.ProcessedCount = 5;
    EXPECT_EQ(Boxes([&] { (zip.*c.operation)(); }), c.boxes);
    EXPECT_EQ(Requests().size(), c.called ? 1u : 0u);
    EXPECT_EQ(zip.FileSpecs.empty(), c.patternsEmptied);
    EXPECT_EQ(zip.ProcessedCount, c.called ? 1 : 0);
    EXPECT_FALSE(zip.Zipping || zip.Unzipping);
    EXPECT_FALSE(TZipArchiver::ZipLibraryLoaded() || TZipArchiver::UnzipLibraryLoaded());
  }
}

TEST_F(ZipArchiverTest, ALibraryLoadedByHandStaysLoadedUntilFreed) {
  UseLibraries(Fakes("incomplete"));
  TZipArchiver zip(nullptr);
  zip.Trace = true;
  EXPECT_EQ(Boxes([&] { zip.LoadZipLibrary(); }),
            (Strings{"Information: Bibliothèque PVZIP chargée.",
                     "Erreur: La fonction ZipExecute est absente de PVZIP.DLL."}));
  EXPECT_TRUE(TZipArchiver::ZipLibraryLoaded());
  // Loading again takes no second reference: one freeing unloads it.
  EXPECT_TRUE(Boxes([&] { zip.LoadZipLibrary(); }).empty());
  const HMODULE module = GetModuleHandleA("PVZIP.DLL");
  EXPECT_NE(module, nullptr);

  UseLibraries(Fakes("scripted"));
  zip.Trace = false;
  zip.SetArchiveName(Archive("TROIS.ZIP", StoredArchive(Three)));
  zip.FileSpecs = {"a.txt"};
  EXPECT_EQ(Boxes([&] { zip.AddFiles(); }), Strings{Fatal});
  EXPECT_TRUE(TZipArchiver::ZipLibraryLoaded());
  TZipArchiver::FreeZipLibrary();
  EXPECT_FALSE(TZipArchiver::ZipLibraryLoaded());
  EXPECT_EQ(GetModuleHandleA("PVZIP.DLL"), nullptr);
  TZipArchiver::FreeZipLibrary();  // freeing twice is harmless
}

TEST_F(ZipArchiverTest, AFailureInsideTheLibraryEndsTheOperationNormally) {
  UseLibraries(Fakes("scripted"));
  const std::string archive = Archive("TROIS.ZIP", StoredArchive(Three));
  struct Case {
    const char* what;
    const char* script;
    bool handlerThrows;
  };
  const Case cases[] = {
      {"a processor fault", "new:a.txt:1|fault", false},
      {"a C++ exception", "new:a.txt:1|throw", false},
      {"a raised exception that cannot be continued", "new:a.txt:1|raise", false},
      {"a handler that throws", "new:a.txt:1|step|return:1", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(log_.c_str());
    Script(c.script);
    TZipArchiver zip(nullptr);
    zip.SetArchiveName(archive);
    int read = 0;
    zip.OnEntriesRead = [&](TZipArchiver&) { ++read; };
    zip.OnProgress = [&](TZipArchiver&, ProgressType, const std::string&, int32_t) {
      if (c.handlerThrows) throw std::runtime_error("handler");
    };
    zip.FileSpecs = {"a.txt"};
    EXPECT_EQ(Boxes([&] { zip.AddFiles(); }), Strings{Fatal});
    EXPECT_FALSE(zip.Zipping);
    EXPECT_TRUE(zip.FileSpecs.empty());
    EXPECT_EQ(zip.ProcessedCount, 0);
    EXPECT_EQ(read, 0);
    EXPECT_FALSE(TZipArchiver::ZipLibraryLoaded());
    // The handler's exception stopped the library at once.
    if (c.handlerThrows) {
      EXPECT_EQ(LogLines().back(), "stopped");
    }

    // The component and the library work again.
    Script("");
    zip.FileSpecs = {"a.txt"};
    EXPECT_TRUE(Boxes([&] { zip.AddFiles(); }).empty());
    EXPECT_EQ(zip.ProcessedCount, 1);
  }
}

// ---- the real libraries -------------------------------------------------------------------

TEST_F(ZipArchiverTest, TheRealLibrariesAddDeleteAndExtract) {
  const std::string real = WindowsPath(PV_REAL_ZIP_DIR) + "\\";
  if (GetFileAttributesA((real + "PVZIP.DLL").c_str()) == INVALID_FILE_ATTRIBUTES ||
      GetFileAttributesA((real + "PVUNZIP.DLL").c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "PVZIP.DLL and PVUNZIP.DLL are not built";
  UseLibraries(real);
  const uint32_t date = PackDosTime(1998, 6, 15, 10, 20, 30);
  MakeFixtureDirectory(dir_ + "src\\");
  MakeFixtureDirectory(dir_ + "out\\");
  const std::string content = "[boot]\r\nshell=Explorer.exe\r\n" + std::string(3000, 'x');
  WriteFixtureFile(dir_ + "src\\SYSTEM.INI", content, date);
  WriteFixtureFile(dir_ + "src\\café.dll", "MZ bibliothèque", date, FILE_ATTRIBUTE_HIDDEN);
  const std::string archive = dir_ + "out\\PVLN0001.ZIP";

  TZipArchiver zip(nullptr);
  zip.AddSwitches = {asHiddenFiles};
  zip.ExtractSwitches = {esFreshen, esTest, esOverwrite};
  int read = 0;
  zip.OnEntriesRead = [&](TZipArchiver&) { ++read; };
  zip.SetArchiveName(archive);
  for (const char* name : {"SYSTEM.INI", "café.dll"}) {
    zip.FileSpecs = {dir_ + "src\\" + name};
    EXPECT_TRUE(Boxes([&] { zip.AddFiles(); }).empty());
    EXPECT_EQ(zip.ProcessedCount, 1);
  }
  EXPECT_EQ(read, 3);
  EXPECT_EQ(NamesOf(zip), (Strings{"SYSTEM.INI", "café.dll"}));
  ASSERT_EQ(zip.ArchiveEntries.size(), 2u);
  EXPECT_EQ(zip.ArchiveEntries[0].UncompressedSize, content.size());
  EXPECT_LT(zip.ArchiveEntries[0].CompressedSize, content.size());

  // Extracting over an older, changed copy: fresher entries only, overwriting.
  WriteFixtureFile(dir_ + "src\\SYSTEM.INI", "abîmé", PackDosTime(1997, 1, 1, 0, 0, 0));
  zip.ExtractDir = dir_ + "src";
  zip.ExtractSwitches = {esFreshen, esOverwrite};
  zip.FileSpecs = {dir_ + "src\\SYSTEM.INI"};
  EXPECT_TRUE(Boxes([&] { zip.ExtractFiles(); }).empty());
  EXPECT_EQ(zip.ProcessedCount, 1);
  EXPECT_EQ(ReadWholeFile(dir_ + "src\\SYSTEM.INI"), content);

  // Deleting by the full path, as the backup does; the list is read again.
  zip.FileSpecs = {dir_ + "src\\café.dll"};
  EXPECT_TRUE(Boxes([&] { zip.DeleteFiles(); }).empty());
  EXPECT_EQ(zip.ProcessedCount, 1);
  EXPECT_EQ(NamesOf(zip), Strings{"SYSTEM.INI"});
  EXPECT_EQ(read, 4);
}
