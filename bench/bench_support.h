// What the benchmarks share: the counted heap, interruption by Ctrl+C,
// clocks and memory figures, host commands run through Wine, drive links,
// the alternating timing of a bare reference against an engine, and the
// command-line options.
//
// Runs under Wine only; bench/run-bench.sh prepares the prefix.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "support/unix_path.h"

// ---------------------------------------------------------------------------
// Live heap bytes of the process (operator new is replaced in
// counted_heap.cpp). The engines allocate through operator new; Wine's own
// allocations are not counted here but show in the working set.

extern std::atomic<size_t> HeapLive;
extern std::atomic<size_t> HeapPeak;

// The growth of the live heap's peak over its level when it was started.
class HeapWatch {
 public:
  HeapWatch() : base_(HeapLive.load()) { HeapPeak = base_; }
  size_t Growth() const { return HeapPeak.load() - base_; }

 private:
  size_t base_;
};

// ---------------------------------------------------------------------------
// Interruption: Ctrl+C sets a flag that the long loops look at; the main
// thread then cleans up and calls CleanUpDone, and the handler lets the
// process end.

struct InterruptedRun {};
void InstallInterruptHandler();
void CheckInterrupted();
void CleanUpDone();

// ---------------------------------------------------------------------------
// Figures.

[[noreturn]] void Fail(const std::string& what);  // with GetLastError
double Seconds();            // wall clock
double ProcessCpuSeconds();  // user + kernel time of this process
size_t PeakWorkingSet();
double Median(std::vector<double> v);
std::string Mib(size_t bytes);
std::string Kib(size_t bytes);
void Progress(const char* format, ...);  // to stderr

// ---------------------------------------------------------------------------
// Files and host commands.

bool Exists(const std::string& path);
// Starts a Unix command of the host. Wine runs ELF programs without giving
// a process handle back, so callers wait for the command's effect instead.
void StartHostCommand(const std::string& commandLine);
// Waits until path exists (or, with present clear, is gone); false on timeout.
bool AwaitPath(const std::string& path, bool present, int seconds);
// rm -rf of the host, for trees too large to delete file by file.
void RemoveHostTree(const std::string& windowsPath);
long CountLines(const std::string& fileName);

// A drive letter linked onto a directory, as long as the object lives.
class DriveLink {
 public:
  void Map(const std::string& directory);
  void Remove();
  ~DriveLink() { Remove(); }
  std::string Root() const { return std::string(1, letter_) + ":\\"; }

 private:
  static inline DWORD taken_ = 0;
  char letter_ = 0;
  std::string link_;
};

// ---------------------------------------------------------------------------
// Timing: the bare reference and the engine take turns, so that both see
// the same cache state. Beside the wall-clock time, the CPU time of this
// process shows the engine's own work apart from the time spent waiting for
// the Wine server.

// The memory of one comparison, measured in a process of its own (this
// program started again with --probe old new result), so that what the
// benchmark generated and timed does not stand in it.
struct ProbeResult {
  size_t peakBefore = 0, peakAfter = 0, heapGrowth = 0;
};
ProbeResult RunMemoryProbe(const std::string& oldName, const std::string& newName,
                           const std::string& resultName);
// The probe's side: runs compare(old, new, report) and writes the result.
int MemoryProbe(const std::vector<std::string>& files,
                const std::function<void(const std::string&, const std::string&, const std::string&)>& compare);
size_t FileSizeOrZero(const std::string& name);

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

void PrintRow(const char* name, const std::vector<double>& values, const char* unit);
void PrintPairing(const char* bareName, const char* engineName, const Pairing& p);
// "name: R" with the median ratio, the form the summary lines have.
void PrintRatio(const char* name, const Pairing& p);

// ---------------------------------------------------------------------------
// Options of both benchmarks; each uses the ones it needs.

struct Options {
  std::string work;  // Windows path of the work directory, ends with "\"
  int repetitions = 7;  // enough for the median to ride out a busy spell of the machine
  // The recording benchmark.
  int directories = 5000;
  int files = 100000;
  int keys = 50000;
  int values = 200000;
  int branching = 16;
  int smallDirectories = 250;
  // The comparison benchmark: entry lines of the large and the small pair
  // of members, and the changes between the members of a pair.
  int lines = 1000000;
  int smallLines = 100000;
  int changes = 1000;
  // The registry benchmark: keys and values of the large pair of snapshots.
  long registryKeys = 700000;
  long registryValues = 1200000;
  // Internal: the comparison benchmark's memory probe in a process of its
  // own ("old new result").
  std::vector<std::string> probe;
};

Options ParseOptions(int argc, char** argv);

// A benchmark's whole run from its command line: the options parsed into
// `options`; a memory probe (a process of its own that generates nothing)
// answered by `probe` at once; otherwise `bench` with Ctrl+C handled, then
// "removing <what>..." and `cleanUp` on every path out. The exit code:
// bench's own, 130 when interrupted, 1 on an error.
using ProbeFunction = std::function<int(const std::vector<std::string>& files)>;
int RunBenchmark(const char* name, const char* removing, int argc, char** argv, Options& options,
                 const std::function<int()>& bench, const std::function<void()>& cleanUp,
                 const ProbeFunction& probe = nullptr);
