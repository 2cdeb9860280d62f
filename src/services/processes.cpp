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

namespace {

// A setup that broadcasts a change of settings (SendMessage to every
// top-level window) waits for each window to answer: the waiting thread
// answers the messages sent to its windows, and nothing else (the user's
// input waits until the program has ended).
void AnswerSentMessages() {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

LaunchedProgram::~LaunchedProgram() { Close(); }

void LaunchedProgram::Close() {
  for (HANDLE* h : {&process_, &job_, &port_})
    if (*h) {
      CloseHandle(*h);
      *h = nullptr;
    }
}

bool LaunchedProgram::Start(const std::string& commandLine) {
  Close();
  ended_ = false;
  std::string cmd = commandLine;
  std::string dir = LaunchDirectoryOf(commandLine);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWDEFAULT;
  PROCESS_INFORMATION pi{};
  // Started suspended, so that it is in the job before it can start anything.
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &si, &pi))
    return false;
  process_ = pi.hProcess;
  job_ = CreateJobObjectA(nullptr, nullptr);
  port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT link{};
  link.CompletionKey = job_;
  link.CompletionPort = port_;
  bool inJob = job_ && port_ &&
               SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &link,
                                       sizeof link) &&
               AssignProcessToJobObject(job_, process_);
  if (!inJob) {
    // Without a job the program itself is all that can be waited for.
    if (job_) CloseHandle(job_);
    if (port_) CloseHandle(port_);
    job_ = port_ = nullptr;
  }
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  return true;
}

bool LaunchedProgram::Ended() {
  if (!process_ || ended_) return ended_ || !process_;
  if (!job_) {
    DWORD code = STILL_ACTIVE;
    ended_ = !GetExitCodeProcess(process_, &code) || code != STILL_ACTIVE;
    return ended_;
  }
  DWORD message = 0;
  ULONG_PTR key = 0;
  LPOVERLAPPED overlapped = nullptr;
  while (GetQueuedCompletionStatus(port_, &message, &key, &overlapped, 0))
    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) ended_ = true;
  if (!ended_) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting,
                                  sizeof accounting, nullptr))
      ended_ = accounting.ActiveProcesses == 0;
  }
  return ended_;
}

void LaunchedProgram::WaitUntilEnded() {
  if (!process_) return;
  if (!job_) {
    while (MsgWaitForMultipleObjects(1, &process_, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
      AnswerSentMessages();
    ended_ = true;
    return;
  }
  while (!Ended()) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    if (GetQueuedCompletionStatus(port_, &message, &key, &overlapped, 100) &&
        message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
      ended_ = true;
    AnswerSentMessages();
  }
}

bool LaunchAndWait(const std::string& commandLine) {
  LaunchedProgram program;
  if (!program.Start(commandLine)) return false;
  // The caller's thread stays busy until the program and what it started
  // have ended.
  program.WaitUntilEnded();
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
