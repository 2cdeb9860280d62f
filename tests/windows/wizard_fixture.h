// What the tests of the compare, restore and uninstall wizards share: a
// program directory of their own, a machine of two small disks K: and L:
// with a Windows directory on K:, the registry sandboxed, and the
// long-lived windows the wizards open (archive dialog, report viewer,
// replaced-files warning, restart prompt).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "comparison/archive_dialog.h"
#include "comparison/report_viewer.h"
#include "shell/report_chooser.h"
#include "shell/settings.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "ui/wizard.h"
#include "undo/replaced_files_warning.h"
#include "undo/restart_prompt.h"
#include "windows/scratch_program.h"

class WizardTest : public ScratchProgramTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Records the machine with these drives and types into the program
  // directory; answers the state's name.
  std::string RecordMachine(const std::string& drives, const std::string& types);
  // A real installation report of "Jeu": the machine recorded, the game
  // installed on K: (files, a WIN.INI section, a key), recorded again and
  // compared; both states deleted. Answers the report's name.
  std::string InstallGame();

  // Runs the wizard modally while the script drives it.
  int Drive(TWizard& wizard, const std::string& title, const std::function<void(HWND)>& script);
  // Clicks a button and waits until the wizard shows that step.
  static bool Go(TWizard& wizard, const Button& button, char step, int milliseconds = 5000);
  static std::string Text(const TWizard& wizard, int line) { return wizard.Texte[line - 1].Text(); }
  // Chooses the line of the list that holds the text, as a click would.
  static bool ChooseLineWith(const ListBox& list, const std::string& text);
  // The files a pattern with its directory matches.
  static int CountFiles(const std::string& pattern);

  std::string machine_, second_, program_;
  std::unique_ptr<MappedDrive> k_, l_;
  std::unique_ptr<TChoisir> chooser_;
  std::unique_ptr<TRapport> viewer_;
  std::unique_ptr<TAttention> warning_;
  std::unique_ptr<TReStart> restart_;
  std::unique_ptr<TTransferer> archive_;
  int restarts_ = 0;
};
