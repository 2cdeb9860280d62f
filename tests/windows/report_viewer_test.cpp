#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comparison/report_compaction.h"
#include "comparison/report_viewer.h"
#include "shell/report_chooser.h"
#include "shell/settings.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "windows/scratch_program.h"

namespace {

constexpr const char* SaveCurrentQuestion = "Voulez-vous enregistrer les modifications du rapport actuel ?";
constexpr const char* SaveQuestion = "Etes-vous sûr de vouloir enregistrer les modifications du rapport ?";

std::string Text(const std::vector<std::string>& lines) { return JoinTextLines(lines); }

class ReportViewerTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    chooser_ = std::make_unique<TChoisir>(nullptr);
    viewer_ = std::make_unique<TRapport>(nullptr, *chooser_);
    ASSERT_TRUE(viewer_->Created());
  }
  void TearDown() override {
    viewer_.reset();
    chooser_.reset();
    ScratchProgramTest::TearDown();
  }
  // Shows the viewer modally while the script drives it; the script gets
  // the window, and the viewer is closed afterwards if the script left it open.
  void ShowViewer(const std::function<void(HWND)>& script) {
    DriveModal([&] { return viewer_->ShowModal(); }, TRapport::Title, script);
  }
  std::string MemoText() const { return viewer_->Memo.Text(); }
  void SetMemoText(const std::string& text, bool modified) const {
    viewer_->Memo.SetText(text);
    viewer_->Memo.SetModified(modified);
  }

  std::unique_ptr<TChoisir> chooser_;
  std::unique_ptr<TRapport> viewer_;
};

const std::vector<std::string> RegistryOnlyReport = {
    "* Installation de Mon Jeu le 05/12/1998 à 14:03:07",
    "",
    "Modifications au Catalogue de C:\\",
    " Aucune modification",
    "",
    "",
    "Modifications dans C:\\WINDOWS\\WIN.INI",
    " Aucune modification",
    "",
    "",
    "Modifications dans Base de registres",
    " HKey_Local_Machine\\SOFTWARE\\Mon Jeu",
    "-\"Version\"=\"1.0\"",
    "+\"Version\"=\"1.1\"",
    " 2 modifications",
    "",
    "",
};

}  // namespace

TEST_F(ReportViewerTest, EachOpeningShowsLastAndOuvrirShowsTheChosenReport) {
  const std::string first = Text({"* Comparaison du 05/12/1998 à 14:03:07", "  par rapport au 01/12/1998 à 09:00:00", ""});
  const std::string second = Text({"* Installation de Mon Jeu le 06/12/1998 à 10:00:00", "", "Modifications au Catalogue de C:\\"});
  Write("ASYK3DD.PV2", first);
  Write("BQZT001.PV1", second);
  settings::Write(settings::Text::Last, "ASYK3DD.PV2");

  std::string shown, chosen;
  bool modified = true, hiddenForChooser = false;
  ShowViewer([&](HWND w) {
    shown = MemoText();
    modified = viewer_->Memo.Modified();
    Click(FindControl(w, "&Ouvrir"));
    HWND c = WaitForWindow(TChoisir::Title);
    if (!c) return;
    hiddenForChooser = !IsWindowVisible(w);
    chooser_->Liste.Select(1);  // the list is in title order: Comparaison, Installation
    Click(FindControl(c, "&Ouvrir"));
    EndWindow(c);
    if (!WaitForWindow(TRapport::Title)) return;
    chosen = MemoText();
    Click(FindControl(w, "&Fermer"));
  });
  EXPECT_EQ(shown, first);
  EXPECT_FALSE(modified);
  EXPECT_TRUE(hiddenForChooser);
  EXPECT_EQ(chosen, second);
  EXPECT_EQ(viewer_->CurrentReport, "BQZT001.PV1");

  // The next opening shows Last again; Last naming a missing file: empty.
  settings::Write(settings::Text::Last, "ABSENT.PV2");
  shown = "?";
  ShowViewer([&](HWND w) {
    shown = MemoText();
    Click(FindControl(w, "&Fermer"));
  });
  EXPECT_EQ(shown, "");
  EXPECT_EQ(viewer_->CurrentReport, "ABSENT.PV2");
}

TEST_F(ReportViewerTest, CompactionRemovesTheBlocksWithoutChangesAndClosingOffersToSave) {
  struct Case {
    const char* what;
    std::vector<std::string> text, compacted;
  };
  const std::vector<Case> cases = {
      {"only the registry block changed",
       RegistryOnlyReport,
       {"* Installation de Mon Jeu le 05/12/1998 à 14:03:07", "", "Modifications dans Base de registres",
        " HKey_Local_Machine\\SOFTWARE\\Mon Jeu", "-\"Version\"=\"1.0\"", "+\"Version\"=\"1.1\"",
        " 2 modifications", ""}},
      {"a count line as second line",
       {"* Comparaison du 05/12/1998 à 14:03:07", " Aucune modification", "",
        "Modifications dans Base de registres", "+HKey_Users\\.DEFAULT\\Essai", " 1 modification", ""},
       {"* Comparaison du 05/12/1998 à 14:03:07", "", "Modifications dans Base de registres",
        "+HKey_Users\\.DEFAULT\\Essai", " 1 modification", ""}},
      {"an undo log",
       {"* Désinstallation de Mon Jeu le 06/12/1998 à 10:00:00", "", "Mise à jour du Catalogue de C:\\",
        " Aucun fichier effacé", "", "Mise à jour du Catalogue de D:\\", "D:\\JEU\\JEU.EXE effacé",
        " 1 fichier effacé", "", "Mise à jour des répertoires", "D:\\JEU\\ supprimé",
        " 1 répertoire supprimé"},
       {"* Désinstallation de Mon Jeu le 06/12/1998 à 10:00:00", "", "Mise à jour du Catalogue de D:\\",
        "D:\\JEU\\JEU.EXE effacé", " 1 fichier effacé", "", "Mise à jour des répertoires",
        "D:\\JEU\\ supprimé", " 1 répertoire supprimé"}},
  };
  // The first case is the report as loaded from the file.
  Write("ASYK3DD.PV1", Text(RegistryOnlyReport));
  settings::Write(settings::Text::Last, "ASYK3DD.PV1");

  std::vector<std::string> compacted;
  bool modifiedAfterCompaction = false;
  std::string question;
  ShowViewer([&](HWND w) {
    HWND compacter = FindControl(w, "Compacter");
    for (size_t i = 0; i < cases.size(); ++i) {
      if (i > 0) SetMemoText(Text(cases[i].text), false);
      Click(compacter);
      compacted.push_back(MemoText());
    }
    modifiedAfterCompaction = viewer_->Memo.Modified();
    Click(FindControl(w, "&Fermer"));
    question = AnswerMessageBox("Confirmation", IDNO);
  });
  ASSERT_EQ(compacted.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(compacted[i], Text(cases[i].compacted)) << cases[i].what;
  EXPECT_TRUE(modifiedAfterCompaction);
  EXPECT_EQ(question, SaveCurrentQuestion);
  // Compaction changes the text shown, never the file by itself.
  EXPECT_EQ(ReadWholeFile(dir_ + "ASYK3DD.PV1"), Text(RegistryOnlyReport));
}

TEST_F(ReportViewerTest, SavingAnInstallationTextUnderPv2WritesPv1AndDeletesThePv2) {
  Write("ASYK3DD.PV2", Text({"* Comparaison du 05/12/1998 à 14:03:07", " Aucune modification", ""}));
  settings::Write(settings::Text::Last, "ASYK3DD.PV2");
  const std::string edited =
      Text({"* Installation de Mon Jeu le 05/12/1998 à 14:03:07", "", "Modifications dans Base de registres",
            "+HKey_Local_Machine\\SOFTWARE\\Mon Jeu", " 1 modification", ""});

  std::string question;
  bool modifiedAfterSaving = true;
  ShowViewer([&](HWND w) {
    SetMemoText(edited, true);
    Click(FindControl(w, "&Enregistrer"));
    question = AnswerMessageBox("Confirmation", IDYES);
    // The viewer saves on its own thread once the box has gone.
    for (int i = 0; i < 250 && viewer_->Memo.Modified(); ++i) Sleep(20);
    modifiedAfterSaving = viewer_->Memo.Modified();
    Click(FindControl(w, "&Fermer"));  // saved: nothing is asked
  });
  EXPECT_EQ(question, SaveQuestion);
  EXPECT_FALSE(modifiedAfterSaving);
  EXPECT_FALSE(Exists("ASYK3DD.PV2"));
  ASSERT_TRUE(Exists("ASYK3DD.PV1"));
  EXPECT_EQ(ReadWholeFile(dir_ + "ASYK3DD.PV1"), edited);
  EXPECT_EQ(viewer_->CurrentReport, "ASYK3DD.PV1");
}

TEST_F(ReportViewerTest, ButtonHintsAndALayoutThatFollowsTheLowerEdge) {
  struct Hint {
    const char* button;
    const char* hint;
  };
  const Hint hints[] = {
      {"&Ouvrir", " permet d'ouvrir un autre rapport"},
      {"&Imprimer", " imprime le rapport"},
      {"&Enregistrer", " enregistre le rapport modifié"},
      {"Compacter", " supprime du rapport les fichiers non modifiés"},
      {"&Fermer", " referme cette fenêtre"},
      {"Aide", " appelle le fichier d'aide"},
  };
  std::vector<std::string> shown;
  std::string overMemo = "?";
  RECT smallest{}, large{};
  ShowViewer([&](HWND w) {
    // The pointer of the display rests away from the window, so that no
    // real mouse movement overwrites the hints; the move it makes reaches
    // the windows a little later, before the hovering starts.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    Sleep(300);
    for (const Hint& h : hints) {
      MouseOver(FindControl(w, h.button));
      shown.push_back(TextOf(viewer_->BarreDEtat.Handle()));
    }
    MouseOver(viewer_->Memo.Handle());
    overMemo = TextOf(viewer_->BarreDEtat.Handle());
    SetWindowPos(w, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(w, &smallest);
    SetWindowPos(w, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(w, &large);
    SendMessageA(viewer_->btnFermer.Handle(), WM_NULL, 0, 0);  // the resizing is done
    Click(FindControl(w, "&Fermer"));
  });
  ASSERT_EQ(shown.size(), std::size(hints));
  for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], hints[i].hint) << hints[i].button;
  EXPECT_EQ(overMemo, "");
  EXPECT_EQ(smallest.right - smallest.left, TRapport::MinimumWidth);
  EXPECT_EQ(smallest.bottom - smallest.top, TRapport::MinimumHeight);
  EXPECT_EQ(large.right - large.left, 800);
  EXPECT_TRUE(GetWindowLongA(viewer_->Handle(), GWL_STYLE) & WS_THICKFRAME);

  // At 800 x 600: the bar along the bottom, the buttons just above it, the
  // memo over the whole width above the buttons.
  auto rectOf = [&](const Control& c) {
    RECT r;
    GetWindowRect(c.Handle(), &r);
    MapWindowPoints(nullptr, viewer_->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  RECT client;
  GetClientRect(viewer_->Handle(), &client);
  const RECT bar = rectOf(viewer_->BarreDEtat), memo = rectOf(viewer_->Memo);
  EXPECT_EQ(bar.bottom, client.bottom);
  EXPECT_EQ(bar.right, client.right);
  for (const Button* b : {&viewer_->btnOuvrir, &viewer_->btnImprimer, &viewer_->btnEnregistrer,
                          &viewer_->btnCompacter, &viewer_->btnFermer, &viewer_->btnAide}) {
    const RECT r = rectOf(*b);
    EXPECT_EQ(r.bottom, bar.top - 6) << b->Text();
    EXPECT_GT(r.top, memo.bottom) << b->Text();
  }
  EXPECT_EQ(memo.right - memo.left, client.right - 12);
  EXPECT_GT(memo.bottom - memo.top, 400);
}

TEST_F(ReportViewerTest, CancellingThePrintDialogPrintsNothing) {
  const std::string report = Text({"* Comparaison du 05/12/1998 à 14:03:07", " Aucune modification", ""});
  Write("ASYK3DD.PV2", report);
  settings::Write(settings::Text::Last, "ASYK3DD.PV2");
  bool dialogShown = false, enabledAgain = false;
  std::string after;
  ShowViewer([&](HWND w) {
    Click(FindControl(w, "&Imprimer"));
    // Wine's common dialogs speak the prefix's language, English here.
    HWND print = WaitForWindow("Print");
    dialogShown = print != nullptr;
    if (print) PostMessageA(print, WM_COMMAND, IDCANCEL, 0);
    EndWindow(print);
    // The viewer is enabled again once its own thread is back from the dialog.
    for (int i = 0; i < 100 && !IsWindowEnabled(w); ++i) Sleep(20);
    enabledAgain = IsWindowEnabled(w) != 0;
    after = MemoText();
    Click(FindControl(w, "&Fermer"));
  });
  EXPECT_TRUE(dialogShown);
  EXPECT_TRUE(enabledAgain);
  EXPECT_EQ(after, report);
}

// "Registre" writes the registry scripts of the report shown beside it and
// says so; a report without a registry block gives none.
TEST_F(ReportViewerTest, RegistreWritesTheRegistryScriptsOfTheReportShown) {
  Write("MONJEU1.PV1", Text(RegistryOnlyReport));
  Write("SANSREG.PV2", Text({"* Comparaison du 05/12/1998 à 14:03:07", "  par rapport au 01/12/1998 à 09:00:00",
                             "", "Modifications au Catalogue de C:\\", " Aucune modification", "", ""}));
  std::string said, refused;
  settings::Write(settings::Text::Last, "MONJEU1.PV1");
  ShowViewer([&](HWND w) {
    Click(FindControl(w, "&Registre"));
    said = AnswerMessageBox("Information", IDOK);
    Click(FindControl(w, "&Fermer"));
  });
  settings::Write(settings::Text::Last, "SANSREG.PV2");
  ShowViewer([&](HWND w) {
    Click(FindControl(w, "&Registre"));
    refused = AnswerMessageBox("Avertissement", IDOK);
    Click(FindControl(w, "&Fermer"));
  });
  EXPECT_EQ(said, "Les scripts MONJEU1A.REG (annuler) et MONJEU1R.REG (refaire) ont été écrits à côté du rapport.");
  EXPECT_EQ(ReadWholeFile(dir_ + "MONJEU1A.REG"),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mon Jeu]\r\n\"Version\"=-\r\n"
            "\"Version\"=\"1.0\"\r\n\r\n");
  EXPECT_TRUE(Exists("MONJEU1R.REG"));
  EXPECT_EQ(refused, "Ce rapport n'a pas de modifications du registre qui puissent être écrites.");
  EXPECT_FALSE(Exists("SANSREGA.REG"));
}
