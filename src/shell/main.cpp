// Pivalune 98: start-up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/io_error.h"
#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<std::string> parameters(__argv + 1, __argv + __argc);
  try {
    InitialiseProgram(parameters.empty());
    if (!parameters.empty()) RunCommandLineMode(parameters);
  } catch (const IoError& e) {
    // Unattended: no window to show the error in; the exit code and the
    // standard error (when there is one) tell it.
    std::fprintf(stderr, "pivalune: %s (%s)\n", DiskErrorText(e.code).c_str(), e.what());
    return 2;
  }
  return 0;
}
