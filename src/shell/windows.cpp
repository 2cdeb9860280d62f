#include "shell/windows.h"

#include <windows.h>

#include <memory>

#include "services/io_error.h"
#include "services/wait_message.h"
#include "comparison/archive_dialog.h"
#include "comparison/compare_wizard.h"
#include "comparison/install_wizard.h"
#include "comparison/report_viewer.h"
#include "recording/record_wizard.h"
#include "recording/running_apps_dialog.h"
#include "shell/about_box.h"
#include "shell/configuration_dialog.h"
#include "shell/main_window.h"
#include "shell/messages_dialog.h"
#include "shell/report_chooser.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "shell/splash.h"
#include "shell/startup.h"
#include "ui/application.h"
#include "ui/messages.h"
#include "ui/wait_window.h"
#include "ui/wizard.h"
#include "undo/question_boxes.h"
#include "undo/replaced_files_warning.h"
#include "undo/restart_prompt.h"
#include "undo/restore_wizard.h"
#include "undo/uninstall_wizard.h"
#include "tools/backup_dialog.h"
#include "tools/cleaner_dialog.h"
#include "tools/duplicates_dialog.h"

namespace {

// The long-lived windows, created in this order after the main window and
// kept until the end. The undo's print notice comes with its subsystem.
struct LongLivedWindows {
  explicit LongLivedWindows(HWND owner)
      : archive(owner), chooser(owner), configuration(owner), wait(owner), viewer(owner, chooser),
        restart(owner), messages(owner), runningApps(owner), replacedFiles(owner) {}
  TTransferer archive;
  TChoisir chooser;
  TConfiguration configuration;
  TWaitWindow wait;
  TRapport viewer;
  TReStart restart;
  TAvertissement messages;
  TAutresApps runningApps;
  TAttention replacedFiles;
};

// What the main window's buttons and menu open; every dialog is shown in
// place of its caller. The dialogs are made after the main window that owns
// them, and exist by the time a command can run.
TPrincipalCommands CommandsOf(const std::unique_ptr<LongLivedWindows>& windows) {
  TPrincipalCommands commands;
  commands.install = [&windows](TForm* caller) {
    TAssInst wizard(caller ? caller->Handle() : nullptr, windows->viewer, windows->replacedFiles);
    ShowDialogInstead(caller, wizard);
  };
  commands.record = [](TForm* caller) {
    TAssEnreg wizard(caller ? caller->Handle() : nullptr);
    ShowDialogInstead(caller, wizard);
  };
  commands.archive = [&windows](TForm* caller) { ShowDialogInstead(caller, windows->archive); };
  commands.compare = [&windows](TForm* caller) {
    TAssCompare wizard(caller ? caller->Handle() : nullptr, windows->archive, windows->viewer,
                       windows->replacedFiles);
    ShowDialogInstead(caller, wizard);
  };
  commands.uninstall = [&windows](TForm* caller) {
    TAssDesinst wizard(caller ? caller->Handle() : nullptr, windows->archive, windows->viewer, windows->restart);
    ShowDialogInstead(caller, wizard);
  };
  commands.duplicates = [](TForm* caller) {
    TDoublons dialog(caller ? caller->Handle() : nullptr);
    ShowDialogInstead(caller, dialog);
  };
  commands.backup = [](TForm* caller) {
    TSecurite dialog(caller ? caller->Handle() : nullptr);
    ShowDialogInstead(caller, dialog);
  };
  commands.cleaner = [](TForm* caller) {
    TNettoyage dialog(caller ? caller->Handle() : nullptr);
    ShowDialogInstead(caller, dialog);
  };
  commands.restore = [&windows](TForm* caller) {
    TAssRestaure wizard(caller ? caller->Handle() : nullptr, windows->archive, windows->viewer, windows->restart);
    ShowDialogInstead(caller, wizard);
  };
  commands.configuration = [&windows](TForm* caller) {
    ShowDialogInstead(caller, windows->configuration);
  };
  commands.messages = [&windows](TForm* caller) { ShowDialogInstead(caller, windows->messages); };
  commands.report = [&windows](TForm* caller) { ShowDialogInstead(caller, windows->viewer); };
  commands.about = [](TForm* caller) {
    TAPropos about(caller ? caller->Handle() : nullptr);
    ShowDialogInstead(caller, about);
  };
  return commands;
}

void WaitForSplash(const TSplash& splash) {
  if (!splash.Created()) return;
  MSG msg;
  while (!splash.TimerFired() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

bool OfferResumption() {
  std::string name = settings::Read(settings::Text::Error);
  if (name.empty()) return false;
  if (ShowMessageBox("Si vous avez terminé l'installation de " + name +
                         ", souhaitez-vous que Pivalune reprenne l'analyse là où elle s'est "
                         "interrompue?",
                     MessageKind::Information, MessageButtons::YesNo) != IDYES)
    return false;
  HourGlass busy;
  try {
    ResumeInterruptedAnalysis(name);
  } catch (const IoError& e) {
    HideWaitMessage();
    ShowDiskError(e.code);
    return false;
  }
  HideWaitMessage();
  return true;
}

int RunProgram(const std::vector<std::string>& parameters) {
  const bool interactive = parameters.empty();
  CreateApplicationWindow();
  TSplash splash;
  if (splash.Created()) {
    splash.Show();
    UpdateWindow(splash.Handle());
  }
  // The main window first, then the long-lived dialogs it owns.
  std::unique_ptr<LongLivedWindows> windows;
  const TPrincipalCommands commands = CommandsOf(windows);
  auto main = std::make_unique<TPrincipal>(commands);
  SetApplicationMainWindow(main->Handle());
  windows = std::make_unique<LongLivedWindows>(main->Handle());
  if (windows->wait.Created()) SetWaitMessageDisplay(&windows->wait);
  if (interactive && windows->runningApps.Created()) UseRunningApplicationsDialog(windows->runningApps);
  if (interactive) UseQuestionBoxes();
  TWizard::SetConfigurationDialog(commands.configuration);
  InitialiseProgram(interactive);
  if (interactive && !Program.HelpAvailable)
    ShowMessageBox("Le fichier d'aide PIVALUNE.HLP n'est pas installé.", MessageKind::Warning,
                   MessageButtons::Ok);
  WaitForSplash(splash);
  splash.Hide();

  int exitCode = 0;
  if (!interactive) {
    HourGlass busy;
    RunCommandLineMode(parameters);
  } else if (main->Created()) {
    OfferResumption();
    main->Show();
    exitCode = RunMessageLoop();
  }
  SetWaitMessageDisplay(nullptr);
  StopQuestionBoxes();
  TWizard::SetConfigurationDialog(nullptr);
  windows.reset();
  main.reset();
  DestroyApplicationWindow();
  return exitCode;
}
