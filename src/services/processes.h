// Processes and top-level windows.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Starts the command line in its program's directory and polls until the
// process has ended. False when the process could not be created.
bool LaunchAndWait(const std::string& commandLine);

// The directory LaunchAndWait runs a command line in.
std::string LaunchDirectoryOf(const std::string& commandLine);

// Finds a top-level window of that class and title; when there is one, warns
// "<title> est déjà lancé.", restores it and brings it to the top.
bool ActivatePreviousInstance(const std::string& className, const std::string& title);

struct WindowListEntry {
  std::string title;  // the title of the last owner of the window
  HWND handle;        // the visible window that was visited
};
bool ListTopLevelWindows(std::vector<WindowListEntry>& list);
