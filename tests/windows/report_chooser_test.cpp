#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/program_state.h"
#include "shell/report_chooser.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "windows/scratch_program.h"

namespace {

using ReportChooserTest = ScratchProgramTest;

std::vector<std::string> ItemsOf(const ListBox& list) {
  std::vector<std::string> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.Item(i));
  return items;
}

std::string Padded(const std::string& title, const std::string& name) {
  return title + std::string(65 - title.size(), ' ') + name;
}

}  // namespace

TEST_F(ReportChooserTest, ListsReportsByTitleWithTheNameAtColumn66InCaseFreeOrder) {
  const std::string longTitle(70, 'x');
  Write("ASYK3DD.PV2", "* Comparaison du 05/12/1998 à 14:03:07\r\n  par rapport au 01/12/1998 à 09:00:00\r\n");
  Write("bqzt001.pv1", "* Installation de Mon Jeu le 06/12/1998 à 10:00:00\r\n\r\n");
  Write("CCDD002.Pv3", "* Désinstallation de Mon Jeu le 07/12/1998 à 11:00:00\r\n");
  Write("EDIT001.PV2", "* essai modifié à la main\r\n");  // a lower-case title from an edited text
  Write("LONGTIT.PV2", "* " + longTitle + "\r\n");
  Write("NOTES.TXT", "* Notes\r\n");
  Write("ASYK3DD.000", "* le 05/12/1998 à 14:03:07\r\n");
  MakeFixtureDirectory(dir_ + "ANCIEN.PV1");

  TChoisir chooser(nullptr);
  ASSERT_TRUE(chooser.Created());
  std::vector<std::string> items;
  int result = DriveModal([&] { return chooser.ShowModal(); }, "Pivalune 98 - Ouvrir un rapport",
                          [&](HWND w) {
                            items = ItemsOf(chooser.Liste);
                            Click(FindControl(w, "Annuler"));
                          });
  EXPECT_EQ(result, mrCancel);
  const std::vector<std::string> expected = {
      Padded("Comparaison du 05/12/1998 à 14:03:07", "ASYK3DD.PV2"),
      Padded("Désinstallation de Mon Jeu le 07/12/1998 à 11:00:00", "CCDD002.Pv3"),
      Padded("essai modifié à la main", "EDIT001.PV2"),
      Padded("Installation de Mon Jeu le 06/12/1998 à 10:00:00", "bqzt001.pv1"),
      std::string(65, 'x') + "LONGTIT.PV2",
  };
  EXPECT_EQ(items, expected);
}

TEST_F(ReportChooserTest, OuvrirCancelsWithoutSelectionAndReturnsTheChosenFileWithOne) {
  Write("ASYK3DD.PV2", "* Comparaison du 05/12/1998 à 14:03:07\r\n");
  TChoisir chooser(nullptr);
  ASSERT_TRUE(chooser.Created());
  chooser.ChosenReport = "ANCIEN.PV1";

  int result = DriveModal([&] { return chooser.ShowModal(); }, TChoisir::Title,
                          [&](HWND w) { Click(FindControl(w, "&Ouvrir")); });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(chooser.ChosenReport, "ANCIEN.PV1");

  // The list is made anew at each opening: a report written since is there.
  Write("BQZT001.PV1", "* Installation de Mon Jeu le 06/12/1998 à 10:00:00\r\n");
  int count = 0;
  result = DriveModal([&] { return chooser.ShowModal(); }, TChoisir::Title, [&](HWND w) {
    count = chooser.Liste.Count();
    chooser.Liste.Select(1);
    Click(FindControl(w, "&Ouvrir"));
  });
  EXPECT_EQ(count, 2);
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(chooser.ChosenReport, "BQZT001.PV1");
}
