// Duplicate-finder benchmark: what FindDuplicateSeries costs over the least
// any search for duplicates must do, and how much memory it takes.
//
// It generates a drive of files (by default 100,000 in 5,000 directories)
// of which one in ten is one of a pair of copies; the others have contents
// of their own, with sizes that most of them share with other files. Then
// it times, alternating so that both see the same cache state:
//   - the floor: a bare FindFirstFileA/FindNextFileA walk of the drive, then
//     one read of every file whose size another file has;
//   - FindDuplicateSeries of the drive (names not compared).
// Its memory is measured in processes of their own, on the drive and on
// the drive with as many files again that have no twin (in a second
// directory tree on a second drive): it must not grow with them.
// The last lines are "duplicates_vs_floor: R" (the median ratio) and
// "duplicates_memory_growth: G" (peak working set with the extra files over
// the peak without them).
//
// Runs under Wine only; bench/run-bench.sh prepares the prefix. Everything
// it generates is removed again, also after Ctrl+C.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "generated_names.h"
#include "shell/program_state.h"
#include "tools/duplicates.h"

namespace {

constexpr int FilesPerDirectoryMax = 64;
constexpr int Branching = 16;

// Contents of a given size from a key: the same key, the same bytes.
std::string Contents(uint32_t key, size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = key * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

// A tree of `directories` directories holding `files` files; one file in
// ten (when `copies`) is one of a pair with the same bytes. Answers the
// number of pairs.
long GenerateTree(const std::string& root, int directories, int files, bool copies, uint32_t firstKey) {
  std::vector<std::string> paths(static_cast<size_t>(directories));
  paths[0] = root;
  for (int d = 1; d < directories; ++d) {
    paths[d] = paths[(d - 1) / Branching] + DirectoryName(d) + "\\";
    if (!CreateDirectoryA(paths[d].c_str(), nullptr)) Fail("CreateDirectory " + paths[d]);
  }
  const int perDirectory = std::min(FilesPerDirectoryMax, (files + directories - 1) / directories);
  long pairs = 0;
  for (int i = 0; i < files; ++i) {
    const int d = i / perDirectory, f = i % perDirectory;
    std::string bytes;
    if (copies && i % 20 == 0) {
      bytes = Contents(0x80000000u + static_cast<uint32_t>(i / 20), 1 + (i / 20 * 37) % 3000);
      ++pairs;
    } else if (copies && i % 20 == 10) {
      bytes = Contents(0x80000000u + static_cast<uint32_t>(i / 20), 1 + (i / 20 * 37) % 3000);
    } else {
      bytes = Contents(firstKey + static_cast<uint32_t>(i), 1 + (static_cast<size_t>(i) * 7919) % 3000);
    }
    const std::string path = paths[static_cast<size_t>(d % directories)] + FileName(d, f);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail("CreateFile " + path);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    if (i % 1000 == 0) CheckInterrupted();
  }
  return pairs;
}

// The floor: every entry listed, and every file that shares its size read
// once.
struct Listed {
  std::string path;
  uint64_t size;
};

void Walk(const std::string& directory, std::vector<Listed>& files) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((directory + "*.*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (found.cFileName[0] != '.') Walk(directory + found.cFileName + "\\", files);
    } else {
      files.push_back({directory + found.cFileName, (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow});
    }
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

size_t Floor(const std::string& root) {
  std::vector<Listed> files;
  Walk(root, files);
  std::map<uint64_t, int> sizes;
  for (const Listed& f : files) ++sizes[f.size];
  static char buffer[1 << 16];
  size_t read = 0;
  for (const Listed& f : files) {
    if (sizes[f.size] < 2) continue;
    HANDLE h = CreateFileA(f.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) read += got;
    CloseHandle(h);
  }
  return read;
}

size_t Search(const std::string& drives) {
  Program.Drives = drives;
  Program.ExclusionText = "\\\\";
  SameNameOnly = false;
  std::vector<std::string> series;
  FindDuplicateSeries(series);
  return series.size();
}

// The memory probe: one search in a process of its own; files[0] holds the
// drive letters, files[1] the program directory (without its final "\",
// which would escape the quote after it on the command line).
int Probe(const std::vector<std::string>& files) {
  Program.ProgramDirectory = files[1] + "\\";
  SetCurrentDirectoryA(files[1].c_str());
  return MemoryProbe(files, [](const std::string& drives, const std::string&, const std::string&) { Search(drives); });
}

struct Run {
  Options options;
  std::string dir;
  DriveLink drive, extra;
  char previousDirectory[MAX_PATH] = {};

  void CleanUp() {
    if (previousDirectory[0]) SetCurrentDirectoryA(previousDirectory);
    drive.Remove();
    extra.Remove();
    RemoveHostTree(dir);
    RemoveDirectoryA(options.work.c_str());
  }
};

int Bench(Run& run) {
  const Options& o = run.options;
  run.dir = o.work + "duplicates";
  run.CleanUp();  // what an earlier, killed run may have left
  CreateDirectoryA(o.work.c_str(), nullptr);
  for (const char* sub : {"", "\\disque", "\\jumeaux", "\\programme"})
    if (!CreateDirectoryA((run.dir + sub).c_str(), nullptr)) Fail("CreateDirectory " + run.dir + sub);
  const std::string program = run.dir + "\\programme\\";
  GetCurrentDirectoryA(MAX_PATH, run.previousDirectory);
  SetCurrentDirectoryA(program.c_str());
  Program.ProgramDirectory = program;

  double t0 = Seconds();
  Progress("generating %d files in %d directories, and as many without a twin...\n", o.files, o.directories);
  const long pairs = GenerateTree(run.dir + "\\disque\\", o.directories, o.files, true, 1);
  GenerateTree(run.dir + "\\jumeaux\\", o.directories, o.files, false, 0x40000000u);
  run.drive.Map(run.dir + "\\disque");
  run.extra.Map(run.dir + "\\jumeaux");
  Progress("  %.1f s\n", Seconds() - t0);
  const std::string letter = run.drive.Root().substr(0, 1), extra = run.extra.Root().substr(0, 1);

  Progress("measuring the memory of a search...\n");
  const std::string programArgument = run.dir + "\\programme";
  const ProbeResult alone = RunMemoryProbe(letter, programArgument, run.dir + "\\alone.mem");
  const ProbeResult withExtra = RunMemoryProbe(letter + extra, programArgument, run.dir + "\\extra.mem");

  Progress("timing the search...\n");
  size_t bytes = 0, found = 0;
  Pairing timing = TimePair(o.repetitions, [&] { bytes = Floor(run.drive.Root()); }, [&] { found = Search(letter); });
  printf("%d files, %ld pairs of copies; the floor read %s; the search found %zu series (expected %ld)\n", o.files,
         pairs, Mib(bytes).c_str(), found, pairs);
  printf("seconds per repetition:\n");
  PrintPairing("walk and read the files of a shared size", "FindDuplicateSeries", timing);
  printf("peak working set of a search: %s for %d files, %s with %d files more that have no twin\n",
         Mib(alone.peakAfter).c_str(), o.files, Mib(withExtra.peakAfter).c_str(), o.files);
  PrintRatio("duplicates_vs_floor", timing);
  printf("duplicates_memory_growth: %.2f\n",
         static_cast<double>(withExtra.peakAfter) / static_cast<double>(alone.peakAfter));
  fflush(stdout);
  return found == static_cast<size_t>(pairs) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  return RunBenchmark("bench_duplicates", "the generated files", argc, argv, run.options, [&] { return Bench(run); },
                      [&] { run.CleanUp(); }, Probe);
}
