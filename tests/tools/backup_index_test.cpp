// The backup index's records and names.
#include <gtest/gtest.h>

#include <string>

#include "tools/backup_index.h"

TEST(BackupIndex, ArchiveNamesAndNumbers) {
  EXPECT_EQ(ArchiveFileName(3), "PVLN0003.ZIP");
  EXPECT_EQ(ArchiveFileName(1234), "PVLN1234.ZIP");
  EXPECT_EQ(ArchiveNumberOf("A:\\SAUVE\\PVLN0003.ZIP"), 3);
  EXPECT_EQ(ArchiveNumberOf("pvln0042.zip"), 42);
  EXPECT_EQ(ArchiveNumberOf("PVLNABCD.ZIP"), 0);
  EXPECT_EQ(ArchiveNumberOf("COPIE.ZIP"), 0);
}

TEST(BackupIndex, DatesAsTheDialogShowsThem) {
  struct Case { double date; const char* text; };
  const Case cases[] = {
      {36134.5861805556, "05/12/1998 14:04:06 "},
      {36134.0, "05/12/1998 00:00:00"},          // midnight written out
      {36162.416666666664, "02/01/1999 10:00:00 "},
      {36525.9999999, "31/12/1999 23:59:59 "},   // no 24:00:00
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeText(c.date), c.text) << c.date;
}

// A record goes out and comes back whole; a damaged length byte names no
// more than the 20 bytes of the name field.
TEST(BackupIndex, RecordsRoundTripAndADamagedLengthStaysInItsField) {
  BackupIndexRecord record;
  record.FileName = "COMCTL32.DLL";
  record.ArchiveNumber = 65535;
  record.DateTime = 36134.5;
  record.Size = -1;
  record.VersionHigh = 4 * 65536 + 70;
  record.VersionLow = 1155;
  record.Language = 0x040C;
  const std::string bytes = EncodeBackupRecord(record);
  ASSERT_EQ(bytes.size(), BackupIndexRecordSize);
  const BackupIndexRecord back = DecodeBackupRecord(bytes.data());
  EXPECT_EQ(back.FileName, record.FileName);
  EXPECT_EQ(back.ArchiveNumber, record.ArchiveNumber);
  EXPECT_EQ(back.DateTime, record.DateTime);
  EXPECT_EQ(back.Size, record.Size);
  EXPECT_EQ(back.VersionHigh, record.VersionHigh);
  EXPECT_EQ(back.VersionLow, record.VersionLow);
  EXPECT_EQ(back.Language, record.Language);
  std::string damaged = bytes;
  damaged[0] = static_cast<char>(200);
  EXPECT_EQ(DecodeBackupRecord(damaged.data()).FileName.size(), 20u);
}
