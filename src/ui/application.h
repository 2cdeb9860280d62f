// The program's hidden application window, class "TPrincipal", title
// "Pivalune". It owns every other window of the program, so that:
// - a second instance finds the first by that class and title, and the
//   first answers by bringing its main window (or the dialog shown in its
//   place) forward;
// - the running-applications list sees the program's windows under the
//   title "Pivalune" through their owner, and leaves them out.
#pragma once
#include <windows.h>

constexpr const char* ApplicationClassName = "TPrincipal";
constexpr const char* ApplicationTitle = "Pivalune";

// Creates the window (nothing without a display); the main window is the
// one brought forward.
bool CreateApplicationWindow();
void SetApplicationMainWindow(HWND main);
HWND ApplicationWindow();
void DestroyApplicationWindow();
