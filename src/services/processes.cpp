#include "services/processes.h"

#include <algorithm>

std::string LaunchDirectoryOf(const std::string& commandLine) {
  std::string program;
  if (!commandLine.empty() && commandLine[0] == '"') {
    size_t close = commandLine.find('"', 1);
    program = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else {
    program = commandLine.substr(0, commandLine.find(' '));
  }
  size_t slash = program.rfind('\\');
  return slash == std::string::npos ? "" : program.substr(0, slash);
}

bool LaunchAndWait(const std::string& commandLine) {
  std::string cmd = commandLine;
  std::string dir = LaunchDirectoryOf(commandLine);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWDEFAULT;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                      nullptr, dir.empty() ? nullptr : dir.c_str(), &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  // The caller's thread stays busy until the program ends; a wait on the
  // handle gives the same result as polling its exit code without pause.
  DWORD code = STILL_ACTIVE;
  while (GetExitCodeProcess(pi.hProcess, &code) && code == STILL_ACTIVE)
    WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hProcess);
  return true;
}

bool ActivatePreviousInstance(const std::string& className, const std::string& title) {
  HWND previous = FindWindowA(className.c_str(), title.c_str());
  if (!previous) return false;
  std::string text = title + " est déjà lancé.";
  MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
  ShowWindow(previous, SW_RESTORE);
  BringWindowToTop(previous);
  SetForegroundWindow(previous);
  return true;
}

namespace {

BOOL CALLBACK AddWindowTitle(HWND window, LPARAM param) {
  auto& list = *reinterpret_cast<std::vector<WindowListEntry>*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  HWND owner = window;
  while (HWND next = GetWindow(owner, GW_OWNER)) owner = next;
  char title[257] = {};  // titles are read up to 256 characters
  GetWindowTextA(owner, title, sizeof title);
  if (title[0] == '\0') return TRUE;
  bool known = std::any_of(list.begin(), list.end(),
                           [&](const WindowListEntry& e) { return e.title == title; });
  if (!known) list.push_back({title, window});
  return TRUE;
}

}  // namespace

bool ListTopLevelWindows(std::vector<WindowListEntry>& list) {
  list.clear();
  return EnumWindows(AddWindowTitle, reinterpret_cast<LPARAM>(&list)) != 0;
}
