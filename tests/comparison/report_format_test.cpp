// The header lines of a report and its name, by analysis mode.
#include <gtest/gtest.h>

#include "comparison/report_format.h"

TEST(ReportHeader, FirstLineAndExtensionByMode) {
  const std::string date = "le 05/12/1998 à 14:03:07";
  struct Case {
    uint8_t mode;
    const char* line;
    const char* extension;
  };
  const Case cases[] = {
      {0, "* Installation de Appli le 05/12/1998 à 14:03:07", ".PV1"},
      {1, "* Lancement de Appli le 05/12/1998 à 14:03:07", ".PV1"},
      {2, "* Comparaison du 05/12/1998 à 14:03:07", ".PV2"},
      {3, "* Comparaison du 05/12/1998 à 14:03:07", ".PV2"},
      {4, "* Suppression de Appli le 05/12/1998 à 14:03:07", ".PV2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(report::HeaderLine(c.mode, "Appli", date), c.line) << int(c.mode);
    EXPECT_EQ(report::ReportExtension(c.mode), c.extension) << int(c.mode);
  }
}

TEST(ReportHeader, SecondLineTakesTheBeforeStateDate) {
  EXPECT_EQ(report::SecondHeaderLine("* le 01/12/1998 à 09:00:00"),
            "  par rapport au 01/12/1998 à 09:00:00");
  EXPECT_EQ(report::SecondHeaderLine("* LE 01/12/1998"), "  par rapport au 01/12/1998");
  // A damaged date line still gives the line, with all of it.
  EXPECT_EQ(report::SecondHeaderLine("* sans date"), "  par rapport au * sans date");
  EXPECT_EQ(report::SecondHeaderLine(""), "  par rapport au ");
}
