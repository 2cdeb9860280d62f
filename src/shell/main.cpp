// Pivalune 98: start-up.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "services/io_error.h"
#include "services/processes.h"
#include "shell/program_state.h"
#include "shell/startup.h"
#include "shell/windows.h"
#include "ui/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<std::string> parameters(__argv + 1, __argv + __argc);
  // A second instance never starts: the first is brought forward.
  if (ActivatePreviousInstance(ApplicationClassName, ApplicationTitle)) return 0;
  try {
    return RunProgram(parameters);
  } catch (const IoError& e) {
    // Unattended: no window may be there to show the error in; the exit
    // code and the standard error (when there is one) tell it.
    std::fprintf(stderr, "pivalune: %s (%s)\n", DiskErrorText(e.code).c_str(), e.what());
    return 2;
  }
}
