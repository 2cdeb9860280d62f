#include "bench_support.h"

#include <psapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

std::atomic<bool> Interrupted{false};
HANDLE CleanedUp = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
  Interrupted = true;
  WaitForSingleObject(CleanedUp, 120000);
  return FALSE;  // the default handler ends the process
}

}  // namespace

void InstallInterruptHandler() {
  CleanedUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void CheckInterrupted() {
  if (Interrupted.load()) throw InterruptedRun{};
}

void CleanUpDone() { SetEvent(CleanedUp); }

// ---------------------------------------------------------------------------

void Fail(const std::string& what) {
  throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PeakWorkingSetSize;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Mib(size_t bytes) {
  char text[32];
  snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

std::string Kib(size_t bytes) {
  char text[32];
  snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return text;
}

void Progress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fflush(stderr);
}

// ---------------------------------------------------------------------------

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}


void StartHostCommand(const std::string& commandLine) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    Fail("cannot start " + commandLine);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
}

bool AwaitPath(const std::string& path, bool present, int seconds) {
  for (int i = 0; i < seconds * 100; ++i) {
    if (Exists(path) == present) return true;
    Sleep(10);
  }
  return Exists(path) == present;
}

namespace {
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
}  // namespace

void RemoveHostTree(const std::string& windowsPath) {
  if (windowsPath.empty() || !Exists(windowsPath)) return;
  StartHostCommand("/bin/rm -rf " + Quoted(UnixPathOf(windowsPath)));
  if (!AwaitPath(windowsPath, false, 300)) Progress("could not remove %s\n", windowsPath.c_str());
}

long CountLines(const std::string& fileName) {
  HANDLE h = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail("open " + fileName);
  std::vector<char> buffer(1 << 16);
  long lines = 0;
  DWORD got = 0;
  while (ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got)
    lines += std::count(buffer.begin(), buffer.begin() + got, '\n');
  CloseHandle(h);
  return lines;
}

void DriveLink::Map(const std::string& directory) {
  char prefix[1024];
  if (!GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix))
    throw std::runtime_error("WINEPREFIX is not set: run through bench/run-bench.sh");
  // GetLogicalDrives is slow to see a new link: letters this process took
  // are remembered apart.
  DWORD used = GetLogicalDrives() | taken_;
  for (char c = 'P'; c <= 'Y' && !letter_; ++c)
    if (!(used & (1u << (c - 'A'))) && !Exists(std::string(1, c) + ":\\")) letter_ = c;
  if (!letter_) throw std::runtime_error("no free drive letter between P: and Y:");
  taken_ |= 1u << (letter_ - 'A');
  link_ = std::string(prefix) + "/dosdevices/" + static_cast<char>(letter_ - 'A' + 'a') + ":";
  StartHostCommand("/bin/ln -sfn " + Quoted(UnixPathOf(directory)) + " " + Quoted(link_));
  if (!AwaitPath(Root(), true, 60)) throw std::runtime_error("cannot link drive " + Root());
}

void DriveLink::Remove() {
  if (!letter_) return;
  StartHostCommand("/bin/rm -f " + Quoted(link_));
  if (!AwaitPath(Root(), false, 60)) Progress("could not unlink drive %s\n", Root().c_str());
  taken_ &= ~(1u << (letter_ - 'A'));
  letter_ = 0;
}

// ---------------------------------------------------------------------------

void PrintRow(const char* name, const std::vector<double>& values, const char* unit) {
  printf("%-26s", name);
  for (double v : values) printf(" %7.3f", v);
  printf("   median %.3f%s\n", Median(values), unit);
}

void PrintPairing(const char* bareName, const char* engineName, const Pairing& p) {
  PrintRow(bareName, p.bare, " s");
  PrintRow(engineName, p.engine, " s");
  PrintRow("  ratio", p.ratios, "");
  PrintRow("  CPU of the bare walk", p.bareCpu, " s");
  PrintRow("  CPU of the engine", p.engineCpu, " s");
}

void PrintRatio(const char* name, const Pairing& p) { printf("%s: %.2f\n", name, Median(p.ratios)); }

// ---------------------------------------------------------------------------

namespace {

int ParseInt(const char* text, const std::string& option) {
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  if (!*text || *end || value <= 0) throw std::runtime_error("bad " + option);
  return static_cast<int>(value);
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--probe") {
      if (i + 3 >= argc) throw std::runtime_error("--probe takes three file names");
      o.probe.assign(argv + i + 1, argv + i + 4);
      i += 3;
      continue;
    }
    if (i + 1 >= argc) throw std::runtime_error("missing value after " + a);
    const char* v = argv[++i];
    if (a == "--work") o.work = v;
    else if (a == "--reps") o.repetitions = ParseInt(v, a);
    else if (a == "--dirs") o.directories = ParseInt(v, a);
    else if (a == "--files") o.files = ParseInt(v, a);
    else if (a == "--keys") o.keys = ParseInt(v, a);
    else if (a == "--values") o.values = ParseInt(v, a);
    else if (a == "--lines") o.lines = ParseInt(v, a);
    else if (a == "--small-lines") o.smallLines = ParseInt(v, a);
    else if (a == "--changes") o.changes = ParseInt(v, a);
    else if (a == "--registry-keys") o.registryKeys = ParseInt(v, a);
    else if (a == "--registry-values") o.registryValues = ParseInt(v, a);
    else throw std::runtime_error("unknown option " + a);
  }
  if (o.work.empty() && o.probe.empty())
    throw std::runtime_error("usage: --work DIR [--reps N] [--dirs N] [--files N] [--keys N]"
                             " [--values N] [--lines N] [--small-lines N] [--changes N]"
                             " [--registry-keys N] [--registry-values N]");
  if (!o.work.empty() && o.work.back() != '\\') o.work += '\\';
  o.smallDirectories = std::min(o.smallDirectories, o.directories);
  return o;
}

int MemoryProbe(const std::vector<std::string>& files,
                const std::function<void(const std::string&, const std::string&, const std::string&)>& compare) {
  ProbeResult r;
  r.peakBefore = PeakWorkingSet();
  HeapWatch heap;
  compare(files[0], files[1], files[2] + ".rpt");
  r.heapGrowth = heap.Growth();
  r.peakAfter = PeakWorkingSet();
  FILE* out = fopen(files[2].c_str(), "w");
  if (!out) Fail("create " + files[2]);
  fprintf(out, "%zu %zu %zu\n", r.peakBefore, r.peakAfter, r.heapGrowth);
  fclose(out);
  return 0;
}

ProbeResult RunMemoryProbe(const std::string& oldName, const std::string& newName,
                           const std::string& resultName) {
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string command = "\"" + std::string(module) + "\" --probe \"" + oldName + "\" \"" +
                        newName + "\" \"" + resultName + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    Fail("cannot start the memory probe");
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  if (code != 0) throw std::runtime_error("the memory probe failed");
  ProbeResult r;
  FILE* in = fopen(resultName.c_str(), "r");
  if (!in || fscanf(in, "%zu %zu %zu", &r.peakBefore, &r.peakAfter, &r.heapGrowth) != 3)
    throw std::runtime_error("no result from the memory probe");
  fclose(in);
  return r;
}

size_t FileSizeOrZero(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<size_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int RunBenchmark(const char* name, const char* removing, int argc, char** argv, Options& options,
                 const std::function<int()>& bench, const std::function<void()>& cleanUp,
                 const ProbeFunction& probe) {
  int code = 0;
  try {
    options = ParseOptions(argc, argv);
    // The probe leaves nothing behind: Ctrl+C may end it at once.
    if (probe && !options.probe.empty()) return probe(options.probe);
    InstallInterruptHandler();
    code = bench();
  } catch (const InterruptedRun&) {
    Progress("interrupted\n");
    code = 130;
  } catch (const std::exception& e) {
    Progress("%s: %s\n", name, e.what());
    code = 1;
  }
  Progress("removing %s...\n", removing);
  cleanUp();
  CleanUpDone();
  return code;
}
