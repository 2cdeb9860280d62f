#include <gtest/gtest.h>

#include "recording/catalogue_lines.h"

namespace {

// 5 December 1998, 14:03:06, packed by hand so that a fault in a shared
// packing helper cannot hide here.
constexpr uint32_t Dec5th1998 = ((18u << 9 | 12u << 5 | 5u) << 16) | (14u << 11 | 3u << 5 | 3u);

}  // namespace

TEST(StateNames, BaseNameIsThePackedTimeInBase32) {
  EXPECT_EQ(StateNameOf(Dec5th1998), "ASYK3DD");
  EXPECT_EQ(StateNameOf(0), "AAAAAAA");
  EXPECT_EQ(StateNameOf(0xFFFFFFFFu), "D666666");  // from 2044 on: still seven letters
}

TEST(StateNames, MemberSuffixesAndFileNames) {
  EXPECT_EQ(MemberSuffix(0), ".000");
  EXPECT_EQ(MemberSuffix(1), ".001");
  EXPECT_EQ(MemberSuffix(42), ".042");
  EXPECT_EQ(MemberSuffix(999), ".999");
  EXPECT_EQ(StateFileName("ASYK3DD" + MemberSuffix(7)), "ASYK3DD.007");
  EXPECT_EQ(StateFileName("ASYK3DD" + MemberSuffix(0)), "ASYK3DD.000");
  EXPECT_EQ(StateFileName("LONGBASENAME.000"), "LONGBASENAME");
}

TEST(StateHeader, ComposedAndReadBack) {
  std::string line = StateHeaderLine("CD", "MCAIWSR", "C:\\TEMP;\\CACHE\\");
  EXPECT_EQ(line, "{CD_MCAIWSR_C:\\TEMP;\\CACHE\\}");
  StateHeader header;
  ASSERT_TRUE(ParseStateHeaderLine(line, header));
  EXPECT_EQ(header.drives, "CD");
  EXPECT_EQ(header.types, "MCAIWSR");
  EXPECT_EQ(header.exclusionText, "C:\\TEMP;\\CACHE\\");
}

TEST(StateHeader, FieldsOfUnusualHeaders) {
  struct Case {
    const char* line;
    const char *drives, *types, *exclusion;
  };
  const Case cases[] = {
      {"{_MCAIWSR_\\\\}", "", "MCAIWSR", "\\\\"},             // no drive recorded
      {"{C__}", "C", "", ""},                                  // nothing else either
      {"{CD_MR_C:\\MES_JEUX\\;\\TMP_\\}", "CD", "MR", "C:\\MES_JEUX\\;\\TMP_\\"},
      {"{ABCDEFGHIJKL_MCAIWSRMCAIW_x}", "ABCDEFGHIJ", "MCAIWSRMCA", "x"},  // cut to 10
  };
  for (const auto& c : cases) {
    StateHeader header;
    ASSERT_TRUE(ParseStateHeaderLine(c.line, header)) << c.line;
    EXPECT_EQ(header.drives, c.drives) << c.line;
    EXPECT_EQ(header.types, c.types) << c.line;
    EXPECT_EQ(header.exclusionText, c.exclusion) << c.line;
  }
  StateHeader header;
  EXPECT_FALSE(ParseStateHeaderLine("Catalogue de C:\\", header));
  EXPECT_FALSE(ParseStateHeaderLine("", header));
}

TEST(StateLabel, CaptionDatePaddedToSeventyThenIndexName) {
  std::string label = StateLabel("* le 05/12/1998 à 14:03:06", LabelCaptionRecorded, "ASYK3DD.000");
  std::string head = "Etat enregistré le 05/12/1998 à 14:03:06";
  EXPECT_EQ(label, head + std::string(70 - head.size(), ' ') + "ASYK3DD.000");
  EXPECT_EQ(label.substr(70), "ASYK3DD.000");

  std::string longLine = "* " + std::string(80, 'x');
  label = StateLabel(longLine, LabelCaptionDisks, "ASYK3DD.000");
  EXPECT_EQ(label, ("Etat des disques " + std::string(80, 'x')).substr(0, 70) + "ASYK3DD.000");
}

TEST(SizeUnits, HalfKilobytesRoundedUp) {
  EXPECT_EQ(SizeUnits(0), 0u);
  EXPECT_EQ(SizeUnits(1), 1u);
  EXPECT_EQ(SizeUnits(512), 1u);
  EXPECT_EQ(SizeUnits(513), 2u);
  // A catalogue over 32 MB: a 16-bit count would wrap to 14464.
  EXPECT_EQ(SizeUnits(40u * 1024 * 1024 + 1), 81921u);
}

TEST(CatalogueLines, EntryLineOfTheExample) {
  EXPECT_EQ(Dec5th1998, 629502051u);  // the time field of the example line
  EXPECT_EQ(FormatCatalogueEntry("AUTOEXEC.BAT", 1234, static_cast<int32_t>(Dec5th1998), 32),
            "AUTOEXEC.BAT\xF5" "1234[629502051]32");
  EXPECT_EQ(FormatCatalogueEntry("SAVE", 0, -5, 16), "SAVE\xF5" "0[-5]16");
}

TEST(CatalogueLines, ClassifyNameAndTime) {
  struct Case {
    const char* line;
    char kind;
    const char *name, *time;
  };
  const Case cases[] = {
      {"C:\\", 'C', "", ""},
      {"K:\\JEUX\\SAVE\\", 'C', "", ""},
      {"SAVE\xF5" "0[629502051]16", 'R', "SAVE", "629502051"},
      {"SAVE\xF5" "0[629502051]19", 'R', "SAVE", "629502051"},   // hidden, system, directory
      {"AUTOEXEC.BAT\xF5" "1234[629502051]32", 'F', "AUTOEXEC.BAT", "629502051"},
      {"IO.SYS\xF5" "40774[629502051]39", 'F', "IO.SYS", "629502051"},
      // A name may hold the separator and brackets: the fields are the last ones.
      {"a[1]b\xF5" "7[99]32", 'F', "a[1]b", "99"},
      {"Op\xE7\xF5" "es.txt\xF5" "5[629502051]32", 'F', "Op\xE7\xF5" "es.txt", "629502051"},
      {"Configura\xE7\xF5" "es\xF5" "0[629502051]16", 'R', "Configura\xE7\xF5" "es", "629502051"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyCatalogueLine(c.line), c.kind) << c.line;
    EXPECT_EQ(CatalogueEntryName(c.line), c.name) << c.line;
    if (c.kind != 'C') {
      EXPECT_EQ(CatalogueEntryTime(c.line), c.time) << c.line;
    }
  }
}

TEST(CatalogueLines, DisplayAndListText) {
  const std::string example = "AUTOEXEC.BAT\xF5" "1234[629502051]32";
  EXPECT_EQ(CatalogueEntryDisplay(example), "AUTOEXEC.BAT     1234 05/12/1998 14:03");
  EXPECT_EQ(CatalogueEntryListText(example), "AUTOEXEC.BAT\t    1234 05/12/1998 14:03");

  // 1 January 1980 at 00:00 and a short name: padded on both sides.
  EXPECT_EQ(CatalogueEntryDisplay("A\xF5" "0[2162688]32"),
            "A" + std::string(19, ' ') + "0 01/01/1980 00:00");
  // A longer name is not cut: one blank, then the size without alignment.
  EXPECT_EQ(CatalogueEntryDisplay("Documentation.html\xF5" "77[629502051]32"),
            "Documentation.html 77 05/12/1998 14:03");
  EXPECT_EQ(CatalogueEntryListText("Documentation.html\xF5" "77[629502051]32"),
            "Documentation.html\t.html 77 05/12/1998 14:03");
  // A size of more than eight digits has no blank in front of it.
  EXPECT_EQ(CatalogueEntryDisplay("WIN386.SWP\xF5" "2147483647[629502051]34"),
            "WIN386.SWP   2147483647 05/12/1998 14:03");
}

TEST(RecordingDate, DayMonthYearAtTimeCutTo25) {
  EXPECT_EQ(FormatRecordingDate(1998, 12, 5, 14, 3, 6, "/", ":"), "le 05/12/1998 à 14:03:06");
  EXPECT_EQ(FormatRecordingDate(2001, 1, 31, 0, 0, 0, ".", "h"), "le 31.01.2001 à 00h00h00");
  // Longer separators push the seconds out of the 25 characters.
  EXPECT_EQ(FormatRecordingDate(1998, 12, 5, 14, 3, 6, "--", "::"), "le 05--12--1998 à 14::03:");
}
