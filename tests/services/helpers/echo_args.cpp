// Started by the process tests: writes what it was given into the file named
// by its first argument (relative names land in its working directory).
// Line 1 is the working directory, line 2 the raw command line, then one
// line per argument. The file is written under a temporary name and renamed
// only after a pause, so a caller that does not wait for the end sees no file.
// With "--handover" first, it starts itself again with the other arguments
// and ends at once, as a setup that hands its work to another process does.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (std::string(argv[1]) == "--handover") {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string(self) + "\"";
    for (int i = 2; i < argc; ++i) command += " \"" + std::string(argv[i]) + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return 5;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
  }
  char dir[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  std::string text = std::string(dir) + "\r\n" + GetCommandLineA() + "\r\n";
  for (int i = 1; i < argc; ++i) text += std::string(argv[i]) + "\r\n";

  std::string target = argv[1];
  std::string partial = target + ".part";
  HANDLE h = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
  Sleep(500);
  return MoveFileA(partial.c_str(), target.c_str()) ? 0 : 4;
}
