// Recording benchmark: how much the catalogue scan and the registry snapshot
// cost over the bare listing and the bare enumeration they are built on.
//
// It generates a tree of files on a drive letter of its own and a sandboxed
// registry, then times, alternating so that both see the same cache state:
//   - a bare FindFirstFileA/FindNextFileA walk of the tree that writes nothing,
//   - a catalogue member of the same tree ("* " then CatalogueDirectory),
//   - a bare RegEnumKeyExA/RegEnumValueA walk of the sandbox,
//   - WriteRegistrySnapshot of the sandbox.
// The last two lines of its output are "catalogue_vs_walk: R" and
// "snapshot_vs_enum: R", each the median ratio over the repetitions.
//
// Runs under Wine only (drive letters are links in the prefix's dosdevices
// folder); bench/run-bench.sh prepares the prefix. Everything it generates is
// removed again, also after Ctrl+C.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdarg>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "recording/catalogue.h"
#include "services/snapshot.h"
#include "services/text_file.h"
#include "shell/program_state.h"

// ---------------------------------------------------------------------------
// Live heap bytes of the process, to show what the catalogue keeps alive.
// The engines allocate through operator new; Wine's own allocations are not
// counted here but show in the working set.

namespace {
std::atomic<size_t> HeapLive{0};
std::atomic<size_t> HeapPeak{0};

void* Counted(void* p) {
  if (!p) return p;
  size_t live = HeapLive.fetch_add(_msize(p), std::memory_order_relaxed) + _msize(p);
  size_t peak = HeapPeak.load(std::memory_order_relaxed);
  while (live > peak && !HeapPeak.compare_exchange_weak(peak, live)) {
  }
  return p;
}

void Uncounted(void* p) {
  if (!p) return;
  HeapLive.fetch_sub(_msize(p), std::memory_order_relaxed);
  free(p);
}
}  // namespace

void* operator new(size_t n) {
  void* p = Counted(malloc(n ? n : 1));
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return Counted(malloc(n ? n : 1)); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  return Counted(malloc(n ? n : 1));
}
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, size_t) noexcept { Uncounted(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Uncounted(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Uncounted(p); }

namespace {

// ---------------------------------------------------------------------------
// Interruption: Ctrl+C sets a flag that the long loops look at; the main
// thread then cleans up and the handler lets the process end.

std::atomic<bool> Interrupted{false};
HANDLE CleanedUp = nullptr;

struct InterruptedRun {};

void CheckInterrupted() {
  if (Interrupted.load()) throw InterruptedRun{};
}

BOOL WINAPI OnConsoleEvent(DWORD) {
  Interrupted = true;
  WaitForSingleObject(CleanedUp, 120000);
  return FALSE;  // the default handler ends the process
}

// ---------------------------------------------------------------------------
// Small helpers.

struct Options {
  std::string work;  // Windows path of the work directory, ends with "\"
  int directories = 5000;
  int files = 100000;
  int keys = 50000;
  int values = 200000;
  int repetitions = 5;
  int branching = 16;
  int smallDirectories = 250;
};

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

// Starts a Unix command of the host. Wine runs ELF programs without giving
// a process handle back, so callers wait for the command's effect instead.
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

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits until path exists (or, with present clear, is gone); false on timeout.
bool AwaitPath(const std::string& path, bool present, int seconds) {
  for (int i = 0; i < seconds * 100; ++i) {
    if (Exists(path) == present) return true;
    Sleep(10);
  }
  return Exists(path) == present;
}

std::string UnixPathOf(const std::string& windowsPath) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) throw std::runtime_error("this benchmark runs under Wine only");
  wchar_t wide[MAX_PATH * 2];
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
  char* unix = fn(wide);
  if (!unix) throw std::runtime_error("no Unix path for " + windowsPath);
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

void RemoveHostTree(const std::string& windowsPath) {
  if (windowsPath.empty() || !Exists(windowsPath)) return;
  StartHostCommand("/bin/rm -rf " + Quoted(UnixPathOf(windowsPath)));
  if (!AwaitPath(windowsPath, false, 300)) Progress("could not remove %s\n", windowsPath.c_str());
}

// ---------------------------------------------------------------------------
// A drive letter linked onto a directory, as long as the object lives.

class DriveLink {
 public:
  void Map(const std::string& directory) {
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
  void Remove() {
    if (!letter_) return;
    StartHostCommand("/bin/rm -f " + Quoted(link_));
    if (!AwaitPath(Root(), false, 60)) Progress("could not unlink drive %s\n", Root().c_str());
    taken_ &= ~(1u << (letter_ - 'A'));
    letter_ = 0;
  }
  ~DriveLink() { Remove(); }
  std::string Root() const { return std::string(1, letter_) + ":\\"; }

 private:
  static inline DWORD taken_ = 0;
  char letter_ = 0;
  std::string link_;
};

// ---------------------------------------------------------------------------
// The generated tree: directories numbered breadth first, each with a fixed
// number of files; names of mixed case and a few accented ones, so that the
// catalogue's sort has work to do.

const char* const DirectoryStems[] = {"Programmes", "system", "Données", "Temp", "aide",
                                      "Polices", "Mes documents", "bin", "_cache", "Zeta"};
const char* const FileStems[] = {"readme", "SETUP", "Fichier", "data", "Liste", "mscomctl",
                                 "été", "Config", "lib", "Zone"};
const char* const FileExtensions[] = {".txt", ".DLL", ".exe", ".ini", ".hlp", "", ".dat",
                                      ".Bmp"};

struct TreeShape {
  int directories;
  int filesPerDirectory;
  int branching;
};

std::string DirectoryName(int index) {
  return std::string(DirectoryStems[index % 10]) + " " + std::to_string(index);
}

std::string FileName(int directory, int index) {
  unsigned mix = static_cast<unsigned>(directory * 31 + index * 7919);
  return std::string(FileStems[mix % 10]) + std::to_string(index) +
         FileExtensions[(mix / 10) % 8];
}

// Creates the tree under root (which exists) and answers the file count.
long GenerateTree(const std::string& root, const TreeShape& shape) {
  std::vector<std::string> paths(shape.directories);
  paths[0] = root;
  std::string content(200, 'x');
  long files = 0;
  for (int d = 0; d < shape.directories; ++d) {
    if (d > 0) {
      int parent = (d - 1) / shape.branching;
      paths[d] = paths[parent] + DirectoryName(d) + "\\";
      if (!CreateDirectoryA(paths[d].c_str(), nullptr)) Fail("CreateDirectory " + paths[d]);
    }
    for (int f = 0; f < shape.filesPerDirectory; ++f) {
      std::string path = paths[d] + FileName(d, f);
      DWORD attributes = f % 11 == 3 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_ARCHIVE;
      HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes,
                             nullptr);
      if (h == INVALID_HANDLE_VALUE) Fail("CreateFile " + path);
      DWORD size = static_cast<DWORD>((d + f) % 5 == 0 ? 0 : (d * 13 + f * 17) % content.size());
      DWORD written = 0;
      if (size) WriteFile(h, content.data(), size, &written, nullptr);
      CloseHandle(h);
      ++files;
    }
    if (d % 100 == 0) CheckInterrupted();
  }
  return files;
}

// ---------------------------------------------------------------------------
// The bare walk: every entry of every directory, nothing written.

struct WalkCount {
  long directories = 0, files = 0;
};

void BareWalk(const std::string& directory, WalkCount& count) {
  ++count.directories;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((directory + "*.*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (found.cFileName[0] != '.') BareWalk(directory + found.cFileName + "\\", count);
    } else {
      ++count.files;
    }
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

void CatalogueMember(const std::string& root, const std::string& fileName) {
  TextFileWriter file(fileName);
  file.WriteLine("* ");
  CatalogueDirectory(root, "*.*", file, true);
  file.Close();
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

// ---------------------------------------------------------------------------
// The registry sandbox: HKEY_LOCAL_MACHINE and HKEY_USERS of this process
// lead to volatile keys under HKCU\Software\PivaluneBench. Volatile keys are
// never saved to the prefix's registry files, so the server does not pause
// to write them out while the timings run, and they go with the server if
// the run is killed before it cleans up.

constexpr const char* BenchArea = "Software\\PivaluneBench";

class RegistryArea {
 public:
  void Create() {
    RegDeleteTreeA(HKEY_CURRENT_USER, BenchArea);
    const char* names[2] = {"HKLM", "HKU"};
    HKEY area = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, BenchArea, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &area, nullptr) != ERROR_SUCCESS)
      Fail("RegCreateKeyEx HKCU\\" + std::string(BenchArea));
    created_ = true;
    RegCloseKey(area);
    for (int i = 0; i < 2; ++i) {
      std::string sub = std::string(BenchArea) + "\\" + names[i];
      if (RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &roots_[i], nullptr) != ERROR_SUCCESS)
        Fail("RegCreateKeyEx " + sub);
    }
  }
  void Override() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, roots_[0]);
    RegOverridePredefKey(HKEY_USERS, roots_[1]);
    overridden_ = true;
  }
  void Remove() {
    if (overridden_) {
      RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
      RegOverridePredefKey(HKEY_USERS, nullptr);
      overridden_ = false;
    }
    for (HKEY& k : roots_)
      if (k) RegCloseKey(k), k = nullptr;
    if (created_) RegDeleteTreeA(HKEY_CURRENT_USER, BenchArea);
    if (created_) RegDeleteKeyA(HKEY_CURRENT_USER, BenchArea);
    created_ = false;
  }
  ~RegistryArea() { Remove(); }
  HKEY Root(int i) const { return roots_[i]; }

 private:
  HKEY roots_[2] = {};
  bool created_ = false;
  bool overridden_ = false;
};

const char* const KeyStems[] = {"Software", "classes", "CLSID", "Microsoft", "wine",
                                "Interface", "typelib", "Services", "_Cache", "Zeta"};
const char* const ValueStems[] = {"Path", "version", "InstallDir", "_flags", "Count",
                                  "mask", "Données", "zoom", "Lang", "DisplayName"};

struct RegistryCount {
  long keys = 0, recorded = 0, others = 0;
};

void SetValue(HKEY key, const std::string& name, DWORD type, const void* data, size_t size) {
  if (RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                     static_cast<DWORD>(size)) != ERROR_SUCCESS)
    Fail("RegSetValueEx " + name);
}

// One value of a recorded type, chosen by its global number.
void SetRecordedValue(HKEY key, long global, int j, long keyNumber) {
  std::string name = j == 0 && keyNumber % 7 == 0
                         ? std::string()
                         : ValueStems[(global * 7) % 10] + std::to_string(j);
  int kind = static_cast<int>(global % 10);
  if (kind < 5) {
    std::string text = "C:\\Program Files\\Appli " + std::to_string(keyNumber) + "\\fichier" +
                       std::to_string(j) + (global % 3 ? ".dll" : "=oui;") +
                       std::string(static_cast<size_t>(global % 40), 'a' + global % 26);
    SetValue(key, name, REG_SZ, text.c_str(), text.size() + 1);
  } else if (kind < 8) {
    DWORD number = static_cast<DWORD>(global * 2654435761u);
    SetValue(key, name, REG_DWORD, &number, sizeof number);
  } else {
    // Mostly short, now and then empty or larger than the snapshot's first
    // buffer, which then has to grow.
    size_t size = global % 20000 == 9 ? 3000 : static_cast<size_t>(global % 48);
    std::vector<BYTE> bytes(size);
    for (size_t b = 0; b < size; ++b) bytes[b] = static_cast<BYTE>(global + b * 37);
    SetValue(key, name, REG_BINARY, bytes.data(), bytes.size());
  }
}

void SetOtherValue(HKEY key, long keyNumber) {
  switch (keyNumber % 3) {
    case 0: {
      const char text[] = "%SystemRoot%\\system32";
      SetValue(key, "Expand", REG_EXPAND_SZ, text, sizeof text);
      break;
    }
    case 1: {
      const char text[] = "un\0deux\0";
      SetValue(key, "Multi", REG_MULTI_SZ, text, sizeof text);
      break;
    }
    default: {
      ULONGLONG number = 0x123456789ABCDEFull * static_cast<ULONGLONG>(keyNumber);
      SetValue(key, "Quad", REG_QWORD, &number, sizeof number);
    }
  }
}

// keys keys below the two roots (four fifths below HKLM), values values of
// the recorded types spread unevenly over them, and one value of another
// type on every 40th key.
RegistryCount GenerateRegistry(const RegistryArea& area, int keys, int values, int branching) {
  RegistryCount count;
  int perRoot[2] = {keys - keys / 5, keys / 5};
  std::vector<int> valueCounts(keys);
  long total = 0;
  for (int k = 0; k < keys; ++k) total += valueCounts[k] = k % 9;
  long rest = values - total;  // the difference goes to the roots' own values
  long global = 0;
  long keyNumber = 0;
  for (int r = 0; r < 2; ++r) {
    HKEY root = area.Root(r);
    long rootValues = r == 0 ? (rest + 1) / 2 : rest / 2;
    for (long j = 0; j < rootValues; ++j, ++global, ++count.recorded)
      SetRecordedValue(root, global, static_cast<int>(j), keyNumber + 1);
    std::vector<std::string> paths(perRoot[r] + 1);
    for (int i = 1; i <= perRoot[r]; ++i, ++keyNumber) {
      int parent = (i - 1) / branching;
      std::string name = std::string(KeyStems[(i * 3) % 10]) + "_" + std::to_string(i % 97) +
                         "-" + std::to_string(i);
      paths[i] = parent ? paths[parent] + "\\" + name : name;
      HKEY key = nullptr;
      if (RegCreateKeyExA(root, paths[i].c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        Fail("RegCreateKeyEx " + paths[i]);
      ++count.keys;
      for (int j = 0; j < valueCounts[keyNumber]; ++j, ++global, ++count.recorded)
        SetRecordedValue(key, global, j, keyNumber);
      if (keyNumber % 40 == 0) SetOtherValue(key, keyNumber), ++count.others;
      RegCloseKey(key);
      if (i % 500 == 0) CheckInterrupted();
    }
  }
  return count;
}

// The bare enumeration: every key opened, every value read with its data.
struct EnumCount {
  long keys = 0, values = 0;
};

class BareEnumeration {
 public:
  BareEnumeration() : data_(1000), name_(16384) {}
  void Walk(HKEY key, EnumCount& count) {
    for (DWORD index = 0;;) {
      DWORD nameLength = static_cast<DWORD>(name_.size());
      DWORD type = 0;
      DWORD size = static_cast<DWORD>(data_.size());
      LONG rc = RegEnumValueA(key, index, name_.data(), &nameLength, nullptr, &type,
                              data_.data(), &size);
      if (rc == ERROR_MORE_DATA && size > data_.size()) {
        data_.resize(size);
        continue;
      }
      if (rc != ERROR_SUCCESS) break;
      ++count.values;
      ++index;
    }
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      HKEY sub = nullptr;
      if (RegOpenKeyExA(key, name, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &sub) !=
          ERROR_SUCCESS)
        continue;
      ++count.keys;
      Walk(sub, count);
      RegCloseKey(sub);
    }
  }

 private:
  std::vector<BYTE> data_;
  std::vector<char> name_;
};

void BareRegistryWalk(EnumCount& count) {
  BareEnumeration walk;
  walk.Walk(HKEY_LOCAL_MACHINE, count);
  walk.Walk(HKEY_USERS, count);
}

// ---------------------------------------------------------------------------
// Timing: the bare walk and the engine take turns, so that both see the same
// cache state; the generation has already brought everything in. Beside the
// wall-clock time, the CPU time of this process shows the engine's own work
// apart from the time spent waiting for the Wine server.

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

struct Pairing {
  std::vector<double> bare, engine, ratios, bareCpu, engineCpu;
};

template <typename Bare, typename Engine>
Pairing TimePair(int repetitions, Bare bare, Engine engine) {
  Pairing p;
  for (int i = 0; i < repetitions; ++i) {
    CheckInterrupted();
    double c0 = ProcessCpuSeconds(), t0 = Seconds();
    bare();
    double c1 = ProcessCpuSeconds(), t1 = Seconds();
    engine();
    double c2 = ProcessCpuSeconds(), t2 = Seconds();
    p.bare.push_back(t1 - t0);
    p.engine.push_back(t2 - t1);
    p.ratios.push_back((t2 - t1) / (t1 - t0));
    p.bareCpu.push_back(c1 - c0);
    p.engineCpu.push_back(c2 - c1);
  }
  return p;
}

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

// Live heap growth during one catalogue member, and the peak working set
// before and after it.
struct CatalogueMemory {
  size_t heapGrowth, peakBefore, peakAfter;
  long lines;
};

CatalogueMemory MeasureCatalogueMemory(const std::string& root, const std::string& out) {
  CatalogueMemory m;
  m.peakBefore = PeakWorkingSet();
  size_t base = HeapLive.load();
  HeapPeak = base;
  CatalogueMember(root, out);
  m.heapGrowth = HeapPeak.load() - base;
  m.peakAfter = PeakWorkingSet();
  m.lines = CountLines(out);
  return m;
}

int ParseInt(const char* text, const char* option) {
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  if (!*text || *end || value <= 0) throw std::runtime_error(std::string("bad ") + option);
  return static_cast<int>(value);
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) throw std::runtime_error("missing value after " + a);
    const char* v = argv[++i];
    if (a == "--work") o.work = v;
    else if (a == "--dirs") o.directories = ParseInt(v, "--dirs");
    else if (a == "--files") o.files = ParseInt(v, "--files");
    else if (a == "--keys") o.keys = ParseInt(v, "--keys");
    else if (a == "--values") o.values = ParseInt(v, "--values");
    else if (a == "--reps") o.repetitions = ParseInt(v, "--reps");
    else throw std::runtime_error("unknown option " + a);
  }
  if (o.work.empty()) throw std::runtime_error("usage: bench_recording --work DIR [--dirs N]"
                                               " [--files N] [--keys N] [--values N] [--reps N]");
  if (o.work.back() != '\\') o.work += '\\';
  o.smallDirectories = std::min(o.smallDirectories, o.directories);
  return o;
}

struct Run {
  Options options;
  std::string tree, small, out;
  DriveLink drive, smallDrive;
  RegistryArea registry;

  void CleanUp() {
    registry.Remove();
    drive.Remove();
    smallDrive.Remove();
    RemoveHostTree(tree);
    RemoveHostTree(small);
    RemoveHostTree(out);
    RemoveDirectoryA(options.work.c_str());
  }
};

int Bench(Run& run) {
  const Options& o = run.options;
  run.tree = o.work + "tree";
  run.small = o.work + "small";
  run.out = o.work + "out";
  run.CleanUp();  // what an earlier, killed run may have left
  CreateDirectoryA(o.work.c_str(), nullptr);
  for (const std::string& dir : {run.tree, run.small, run.out})
    if (!CreateDirectoryA(dir.c_str(), nullptr)) Fail("CreateDirectory " + dir);

  // The program directory is excluded from every catalogue, as in a real run.
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  Program.ProgramDirectory = std::string(module, strrchr(module, '\\') + 1);
  BuildExclusionList("\\\\");

  int filesPerDirectory = std::max(1, o.files / o.directories);
  TreeShape full{o.directories, filesPerDirectory, o.branching};
  TreeShape little{o.smallDirectories, filesPerDirectory, o.branching};

  double t0 = Seconds();
  Progress("generating %d directories of %d files...\n", full.directories, full.filesPerDirectory);
  run.drive.Map(run.tree);
  long files = GenerateTree(run.drive.Root(), full);
  run.smallDrive.Map(run.small);
  long smallFiles = GenerateTree(run.smallDrive.Root(), little);
  Progress("  %.1f s\n", Seconds() - t0);

  // Memory first, before the registry generation raises the peak.
  std::string catalogueFile = run.out + "\\catalogue.txt";
  CatalogueMemory smallMemory = MeasureCatalogueMemory(run.smallDrive.Root(), catalogueFile);
  CatalogueMemory fullMemory = MeasureCatalogueMemory(run.drive.Root(), catalogueFile);

  t0 = Seconds();
  Progress("generating %d registry keys with %d values...\n", o.keys, o.values);
  run.registry.Create();
  RegistryCount generated = GenerateRegistry(run.registry, o.keys, o.values, o.branching);
  run.registry.Override();
  Progress("  %.1f s\n", Seconds() - t0);

  Progress("timing the catalogue...\n");
  WalkCount walked;
  Pairing catalogue = TimePair(
      o.repetitions, [&] { walked = {}; BareWalk(run.drive.Root(), walked); },
      [&] { CatalogueMember(run.drive.Root(), catalogueFile); });
  long catalogueLines = CountLines(catalogueFile);

  Progress("timing the snapshot...\n");
  std::string snapshotFile = run.out + "\\snapshot.txt";
  EnumCount enumerated;
  Pairing snapshot = TimePair(
      o.repetitions, [&] { enumerated = {}; BareRegistryWalk(enumerated); },
      [&] { WriteRegistrySnapshot(snapshotFile); });
  long snapshotLines = CountLines(snapshotFile);

  printf("tree: %ld directories, %ld files on %s (walk saw %ld and %ld); catalogue %ld lines\n",
         static_cast<long>(full.directories), files, run.drive.Root().c_str(),
         walked.directories, walked.files, catalogueLines);
  printf("registry: %ld keys, %ld values of the recorded types, %ld others (enumeration saw "
         "%ld keys, %ld values); snapshot %ld lines\n",
         generated.keys, generated.recorded, generated.others, enumerated.keys,
         enumerated.values, snapshotLines);
  printf("seconds per repetition:\n");
  PrintPairing("bare directory walk", "catalogue member", catalogue);
  PrintPairing("bare registry walk", "registry snapshot", snapshot);
  printf("catalogue memory (live heap growth / peak working set before -> after):\n");
  printf("  %5d directories, %6ld files: %s / %s -> %s (%ld lines)\n", little.directories,
         smallFiles, Kib(smallMemory.heapGrowth).c_str(), Mib(smallMemory.peakBefore).c_str(),
         Mib(smallMemory.peakAfter).c_str(), smallMemory.lines);
  printf("  %5d directories, %6ld files: %s / %s -> %s (%ld lines)\n", full.directories, files,
         Kib(fullMemory.heapGrowth).c_str(), Mib(fullMemory.peakBefore).c_str(),
         Mib(fullMemory.peakAfter).c_str(), fullMemory.lines);
  printf("peak working set of the run: %s\n", Mib(PeakWorkingSet()).c_str());
  printf("catalogue_vs_walk: %.2f\n", Median(catalogue.ratios));
  printf("snapshot_vs_enum: %.2f\n", Median(snapshot.ratios));
  fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CleanedUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  int code = 0;
  Run run;
  try {
    run.options = ParseOptions(argc, argv);
    code = Bench(run);
  } catch (const InterruptedRun&) {
    Progress("interrupted\n");
    code = 130;
  } catch (const std::exception& e) {
    Progress("bench_recording: %s\n", e.what());
    code = 1;
  }
  Progress("removing the generated tree and registry keys...\n");
  run.CleanUp();
  SetEvent(CleanedUp);
  return code;
}
