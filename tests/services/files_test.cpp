#include <gtest/gtest.h>

#include "services/files.h"
#include "support/wine_fixture.h"

namespace {

const uint32_t OldDate = PackDosTime(1997, 3, 14, 10, 20, 30);
const uint32_t NewDate = PackDosTime(2001, 11, 2, 23, 59, 58);

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD AttributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// Wine reports every plain file with the archive bit, whatever was set: the
// bits that can be checked everywhere are read-only, hidden and system.
DWORD SpecialOf(const std::string& path) {
  return AttributesOf(path) &
         (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

// The packed DOS last-write date of a file, read with the raw API.
uint32_t DateOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return PackedDosTimeOf(data.ftLastWriteTime);
}

// Bytes that differ from block to block, so a block copied twice or skipped shows.
std::string Pattern(size_t length) {
  std::string bytes(length, '\0');
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return bytes;
}

// Holds a file open with no sharing, so that nobody else can open it.
class ExclusiveHandle {
 public:
  explicit ExclusiveHandle(const std::string& path)
      : h_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ExclusiveHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

constexpr DWORD A = FILE_ATTRIBUTE_ARCHIVE, R = FILE_ATTRIBUTE_READONLY,
                H = FILE_ATTRIBUTE_HIDDEN, S = FILE_ATTRIBUTE_SYSTEM,
                N = FILE_ATTRIBUTE_NORMAL;

}  // namespace

TEST(Files, DeleteFileForcedDeletesWhateverTheAttributes) {
  std::string dir = ScratchDirectory();
  for (DWORD attributes : {A, N, R, H, S, R | H | S | A}) {
    SCOPED_TRACE(attributes);
    std::string path = dir + "MSDOS.SYS";
    WriteFixtureFile(path, "[Options]\r\n", OldDate, attributes);
    EXPECT_TRUE(DeleteFileForced(path));
    EXPECT_FALSE(Exists(path));
  }
}

TEST(Files, DeleteFileForcedAnswersFalseWhenThereIsNoFile) {
  std::string dir = ScratchDirectory();
  EXPECT_FALSE(DeleteFileForced(dir + "absent.txt"));
  EXPECT_FALSE(DeleteFileForced("Q:\\nulle\\part.txt"));
  MakeFixtureDirectory(dir + "Dossier");
  EXPECT_FALSE(DeleteFileForced(dir + "Dossier"));
  EXPECT_TRUE(Exists(dir + "Dossier"));
}

TEST(Files, RecycleFileMovesTheFileIntoTheTrashOfTheRun) {
  char xdg[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableA("XDG_DATA_HOME", xdg, sizeof xdg), 0u)
      << "run the tests through make test: the trash must be the run's own";
  std::string trash = std::string("Z:") + xdg + "/Trash/files/";
  for (char& c : trash)
    if (c == '/') c = '\\';

  std::string dir = ScratchDirectory();
  WriteFixtureFile(dir + "corbeille absolue.txt", "absolu\r\n", OldDate, R | H);
  EXPECT_TRUE(RecycleFile(dir + "corbeille absolue.txt"));
  EXPECT_FALSE(Exists(dir + "corbeille absolue.txt"));
  EXPECT_EQ(ReadWholeFile(trash + "corbeille absolue.txt"), "absolu\r\n");

  // A relative name is taken in the current directory.
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  WriteFixtureFile(dir + "corbeille_relative.txt", "relatif\r\n", OldDate);
  bool recycled = RecycleFile("corbeille_relative.txt");
  SetCurrentDirectoryA(saved);
  EXPECT_TRUE(recycled);
  EXPECT_FALSE(Exists(dir + "corbeille_relative.txt"));
  EXPECT_EQ(ReadWholeFile(trash + "corbeille_relative.txt"), "relatif\r\n");
}

TEST(Files, RecycleFileAnswersFalseWhenThereIsNoFile) {
  std::string dir = ScratchDirectory();
  EXPECT_FALSE(RecycleFile(dir + "absent.txt"));
  MakeFixtureDirectory(dir + "Dossier");
  EXPECT_FALSE(RecycleFile(dir + "Dossier"));
  EXPECT_TRUE(Exists(dir + "Dossier"));
}

TEST(Files, CopyFileKeepingStampReplacesTheDestinationAndKeepsTheSourcesStamp) {
  std::string dir = ScratchDirectory();
  // Longer than one transfer block, and shorter than the old destination.
  const std::string content = Pattern(5000);
  for (DWORD attributes : {R, R | H | S, A, R | A}) {
    SCOPED_TRACE(attributes);
    WriteFixtureFile(dir + "SYSTEM.INI", content, OldDate, attributes);
    const DWORD stamped = AttributesOf(dir + "SYSTEM.INI");
    WriteFixtureFile(dir + "COPIE.001", Pattern(9000).substr(1), NewDate, A);

    EXPECT_TRUE(CopyFileKeepingStamp(dir + "SYSTEM.INI", dir + "COPIE.001"));
    EXPECT_EQ(ReadWholeFile(dir + "COPIE.001"), content);
    EXPECT_EQ(ReadWholeFile(dir + "SYSTEM.INI"), content);
    EXPECT_EQ(DateOf(dir + "COPIE.001"), OldDate);
    EXPECT_EQ(DateOf(dir + "SYSTEM.INI"), OldDate);
    EXPECT_EQ(AttributesOf(dir + "COPIE.001"), stamped);
    EXPECT_EQ(AttributesOf(dir + "SYSTEM.INI"), stamped);
    EXPECT_EQ(SpecialOf(dir + "COPIE.001"), attributes & (R | H | S));
  }
}

// A recording copies AUTOEXEC.BAT, CONFIG.SYS and the .INI files: the
// originals must come out of it untouched, to the tick of their dates.
TEST(Files, CopyFileKeepingStampNeverWritesToTheSourceAndGivesTheCopyItsExactDate) {
  std::string dir = ScratchDirectory();
  const std::string source = dir + "SYSTEM.INI", copy = dir + "COPIE.002";
  FILETIME exact{};
  SYSTEMTIME st{2018, 6, 5, 1, 13, 26, 51, 0};  // an odd second, then a fraction of it
  SystemTimeToFileTime(&st, &exact);
  exact.dwLowDateTime += 1234567;
  for (DWORD attributes : {R | H | S, A}) {
    SCOPED_TRACE(attributes);
    WriteFixtureFile(source, "[boot]\r\n", OldDate, A);
    HANDLE h = CreateFileA(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &exact));
    CloseHandle(h);
    SetFileAttributesA(source.c_str(), attributes);
    const DWORD stamped = AttributesOf(source);

    EXPECT_TRUE(CopyFileKeepingStamp(source, copy));
    WIN32_FILE_ATTRIBUTE_DATA original{}, copied{};
    ASSERT_TRUE(GetFileAttributesExA(source.c_str(), GetFileExInfoStandard, &original));
    ASSERT_TRUE(GetFileAttributesExA(copy.c_str(), GetFileExInfoStandard, &copied));
    EXPECT_EQ(CompareFileTime(&original.ftLastWriteTime, &exact), 0) << "the source's date moved";
    EXPECT_EQ(CompareFileTime(&copied.ftLastWriteTime, &exact), 0);
    EXPECT_EQ(original.dwFileAttributes, stamped);
    EXPECT_EQ(copied.dwFileAttributes, stamped);
    EXPECT_EQ(ReadWholeFile(copy), "[boot]\r\n");
  }
}

TEST(Files, CopyFileKeepingStampCreatesAMissingDestinationAndCopiesEmptyFiles) {
  std::string dir = ScratchDirectory();
  WriteFixtureFile(dir + "vide.txt", "", OldDate, R);
  EXPECT_TRUE(CopyFileKeepingStamp(dir + "vide.txt", dir + "copie.txt"));
  EXPECT_TRUE(Exists(dir + "copie.txt"));
  EXPECT_EQ(ReadWholeFile(dir + "copie.txt"), "");
  EXPECT_EQ(DateOf(dir + "copie.txt"), OldDate);
  EXPECT_EQ(AttributesOf(dir + "copie.txt"), AttributesOf(dir + "vide.txt"));
  EXPECT_EQ(SpecialOf(dir + "copie.txt"), R);
}

TEST(Files, CopyFileKeepingStampOfAMissingSourceAnswersFalseAndLeavesTheDestination) {
  std::string dir = ScratchDirectory();
  WriteFixtureFile(dir + "copie.txt", "avant", NewDate);
  EXPECT_FALSE(CopyFileKeepingStamp(dir + "absent.txt", dir + "copie.txt"));
  EXPECT_EQ(ReadWholeFile(dir + "copie.txt"), "avant");
  EXPECT_EQ(DateOf(dir + "copie.txt"), NewDate);
  EXPECT_FALSE(CopyFileKeepingStamp(dir + "absent.txt", dir + "nouvelle.txt"));
  EXPECT_FALSE(Exists(dir + "nouvelle.txt"));
}

TEST(Files, SaveFileStampLeavesTheFileArchiveOnlyAndRestoreFileStampPutsItBack) {
  std::string dir = ScratchDirectory();
  std::string path = dir + "CONFIG.SYS";
  WriteFixtureFile(path, "FILES=30\r\n", OldDate, R | H | S);
  const DWORD before = AttributesOf(path);
  FileStamp stamp = SaveFileStamp(path);
  EXPECT_EQ(stamp.attributes, before);
  EXPECT_EQ(stamp.attributes & (R | H | S), R | H | S);
  EXPECT_EQ(stamp.date, OldDate);
  EXPECT_EQ(AttributesOf(path), A);

  // The file can now be rewritten; its new date is that of the rewrite.
  WriteFixtureFile(path, "FILES=40\r\n", NewDate, A);
  RestoreFileStamp(path, stamp);
  EXPECT_EQ(DateOf(path), OldDate);
  EXPECT_EQ(AttributesOf(path), before);
  EXPECT_EQ(ReadWholeFile(path), "FILES=40\r\n");
}

TEST(Files, ClearSpecialAttributesKeepsOnlyTheArchiveBit) {
  std::string dir = ScratchDirectory();
  for (DWORD attributes : {R | H | S | A, R | H | S, R, H, A, N}) {
    SCOPED_TRACE(attributes);
    WriteFixtureFile(dir + "f.txt", "x", OldDate, attributes);
    const DWORD archive = AttributesOf(dir + "f.txt") & A;
    ClearSpecialAttributes(dir + "f.txt");
    EXPECT_EQ(SpecialOf(dir + "f.txt"), 0u);
    EXPECT_EQ(AttributesOf(dir + "f.txt") & A, archive);
    EXPECT_EQ(DateOf(dir + "f.txt"), OldDate);
  }
  ClearSpecialAttributes(dir + "absent.txt");
  EXPECT_FALSE(Exists(dir + "absent.txt"));
}

TEST(Files, SetReadOnlyAddsTheReadOnlyBit) {
  std::string dir = ScratchDirectory();
  for (DWORD attributes : {A, N, H | S, R | A}) {
    SCOPED_TRACE(attributes);
    WriteFixtureFile(dir + "f.txt", "x", OldDate, attributes);
    const DWORD before = AttributesOf(dir + "f.txt");
    SetReadOnly(dir + "f.txt");
    EXPECT_EQ(AttributesOf(dir + "f.txt"), before | R);
  }
  SetReadOnly(dir + "absent.txt");
  EXPECT_FALSE(Exists(dir + "absent.txt"));
}

TEST(Files, UnpackDosDateTimeSplitsTheBitFields) {
  struct Case { uint32_t packed; DosDateTime t; };
  const Case cases[] = {
      {0x24D974B5u, {1998, 6, 25, 14, 37, 42}},
      {0x00210000u, {1980, 1, 1, 0, 0, 0}},
      {0xFF9FBF7Du, {2107, 12, 31, 23, 59, 58}},  // the top bit belongs to the year
      {PackDosTime(1999, 12, 31, 23, 59, 59), {1999, 12, 31, 23, 59, 58}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.packed);
    DosDateTime t = UnpackDosDateTime(c.packed);
    EXPECT_EQ(t.year, c.t.year);
    EXPECT_EQ(t.month, c.t.month);
    EXPECT_EQ(t.day, c.t.day);
    EXPECT_EQ(t.hour, c.t.hour);
    EXPECT_EQ(t.minute, c.t.minute);
    EXPECT_EQ(t.second, c.t.second);
  }
}

TEST(Files, FileSizeOfGivesTheByteCountOrZero) {
  std::string dir = ScratchDirectory();
  WriteFixtureFile(dir + "grand.bin", Pattern(70000), OldDate, R | H);
  WriteFixtureFile(dir + "vide.bin", "", OldDate);
  EXPECT_EQ(FileSizeOf(dir + "grand.bin"), 70000);
  EXPECT_EQ(FileSizeOf(dir + "vide.bin"), 0);
  EXPECT_EQ(FileSizeOf(dir + "absent.bin"), 0);
  MakeFixtureDirectory(dir + "Dossier");
  EXPECT_EQ(FileSizeOf(dir + "Dossier"), 0);
  WriteFixtureFile(dir + "pris.bin", "12345", OldDate);
  ExclusiveHandle taken(dir + "pris.bin");
  ASSERT_TRUE(taken.ok());
  EXPECT_EQ(FileSizeOf(dir + "pris.bin"), 0);
}

TEST(Files, FileCrc32IsTheIeeeChecksumOfTheWholeFile) {
  std::string dir = ScratchDirectory();
  struct Case { std::string bytes; uint32_t crc; };
  // Sizes around the 2048-byte transfer block.
  const Case cases[] = {
      {"123456789", 0xCBF43926u}, {"", 0u},
      {Pattern(2047), 0xBDE618ACu}, {Pattern(2048), 0xB9D45861u},
      {Pattern(2049), 0x71073BA1u}, {Pattern(5000), 0x1ABD04D4u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    WriteFixtureFile(dir + "f.bin", c.bytes, OldDate, R);  // opened read-only
    EXPECT_EQ(FileCrc32(dir + "f.bin"), c.crc);
    EXPECT_EQ(~Crc32Update(0xFFFFFFFFu, c.bytes.data(), c.bytes.size()), c.crc);
    EXPECT_EQ(SpecialOf(dir + "f.bin"), R);
  }
  // Crc32Update carries on over pieces.
  const std::string all = Pattern(5000);
  uint32_t crc = Crc32Update(0xFFFFFFFFu, all.data(), 1234);
  crc = Crc32Update(crc, all.data() + 1234, all.size() - 1234);
  EXPECT_EQ(~crc, 0x1ABD04D4u);
}

TEST(Files, FileCrc32OfAFileThatCannotBeOpenedIsAllOnes) {
  std::string dir = ScratchDirectory();
  EXPECT_EQ(FileCrc32(dir + "absent.bin"), 0xFFFFFFFFu);
  WriteFixtureFile(dir + "pris.bin", "123456789", OldDate);
  ExclusiveHandle taken(dir + "pris.bin");
  ASSERT_TRUE(taken.ok());
  EXPECT_EQ(FileCrc32(dir + "pris.bin"), 0xFFFFFFFFu);
}
