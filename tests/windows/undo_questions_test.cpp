// The undo's questions are the program's own message boxes: owned by the
// window the user works in, so that they stay in front of it and keep it
// from taking input until answered.
#include <gtest/gtest.h>

#include <fstream>

#include "shell/program_state.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "undo/question_boxes.h"
#include "undo/undo_run.h"

TEST(UndoQuestions, AreAskedByAMessageBoxOwnedByTheProgramsWindow) {
  const TProgramState saved = Program;
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  const std::string dir = ScratchDirectory();
  SetCurrentDirectoryA(dir.c_str());
  MakeFixtureDirectory(dir + "disk");
  WriteFixtureFile(dir + "disk\\USER32.DLL", "module", PackDosTime(1998, 12, 5, 14, 3, 0));
  {
    std::ofstream report(dir + "ASK.PV1", std::ios::binary);
    report << "* Installation de X le 05/12/1998 \xE0 14:03:07\r\n\r\n"
              "Modifications au Catalogue de Q:\\\r\nQ:\\\r\n"
              "+USER32.DLL          6 05/12/1998 14:03\r\n 1 modification\r\n\r\n";
  }
  MappedDrive drive('Q', dir + "disk");
  Program.ProgramDirectory = dir;
  Program.UninstallMode = true;
  Program.ConfirmLevel = 3;

  HWND owner = CreateWindowExA(0, "STATIC", "Pivalune 98 - Désinstallation", WS_OVERLAPPEDWINDOW,
                               0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  ShowWindow(owner, SW_SHOW);
  SetActiveWindow(owner);
  UseQuestionBoxes();
  HWND boxOwner = nullptr;
  std::string text;
  WhileModal([&] { UndoRun("ASK.PV1", "à l'installation de X "); },
             [&] {
               HWND box = WaitForWindow("Avertissement");
               if (!box) return;
               boxOwner = GetWindow(box, GW_OWNER);
               text = AnswerMessageBox("Avertissement", IDNO);
             });
  StopQuestionBoxes();
  DestroyWindow(owner);
  SetCurrentDirectoryA(current);
  Program = saved;

  EXPECT_EQ(boxOwner, owner);
  EXPECT_EQ(text, "Le fichier Q:\\USER32.DLL est peut-être utilisé par d'autres applications. "
                  "Voulez-vous le supprimer tout de même?");
  EXPECT_TRUE(GetFileAttributesA((dir + "disk\\USER32.DLL").c_str()) != INVALID_FILE_ATTRIBUTES)
      << "the answer No keeps the file";
}
