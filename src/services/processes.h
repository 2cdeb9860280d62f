// Processes and top-level windows.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A program started in a job of its own: it has ended only when no process
// of the job is left. An installer that unpacks and starts the real setup,
// or an uninstaller that copies itself elsewhere and restarts from there,
// ends at once while its work goes on in a process it started.
class LaunchedProgram {
 public:
  LaunchedProgram() = default;
  ~LaunchedProgram();
  LaunchedProgram(const LaunchedProgram&) = delete;
  LaunchedProgram& operator=(const LaunchedProgram&) = delete;

  // Starts the command line in its program's directory (the directory of
  // the program it names), shown in its default state. False when it could
  // not be started.
  bool Start(const std::string& commandLine);
  bool Started() const { return process_ != nullptr; }
  // True once the program and every process it started have ended; does
  // not wait.
  bool Ended();
  // Waits until then.
  void WaitUntilEnded();

 private:
  void Close();
  HANDLE process_ = nullptr, job_ = nullptr, port_ = nullptr;
  bool ended_ = false;
};

// Starts the command line and waits until it and every process it started
// have ended. False when the program could not be started.
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
