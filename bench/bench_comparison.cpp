// Comparison benchmark: how much the merge of two drive catalogues costs
// over reading both members line by line, and that its memory does not grow
// with the members.
//
// It writes two pairs of catalogue members (by default of 1,000,000 and of
// 100,000 entry lines, each pair 1,000 changes apart: changed, removed and
// added files in turn, spread over the whole member), then times,
// alternating so that both see the same cache state:
//   - reading both members of the large pair once with ReadTextLine,
//   - CompareCatalogues of the pair into a report file, with the context the
//     comparison run gives it (program directory, IsExcluded, older versions).
// The peak working set of a comparison is measured in a fresh process of
// its own for each pair, so that the generation and the timings do not
// stand in it. The last line of the output is "compare_vs_read: R", the
// median ratio over the repetitions.
//
// Everything it generates is removed again, also after Ctrl+C.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "catalogue_members.h"
#include "comparison/catalogue_comparison.h"
#include "comparison/report_format.h"
#include "recording/catalogue.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "shell/program_state.h"

namespace {

std::string CurrentDirectory() {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  return directory;
}

// The program directory is excluded from every catalogue comparison, as in
// a real run; the current directory stands for it, as it does there.
void SetUpExclusions() {
  Program.ProgramDirectory = CurrentDirectory() + "\\";
  Program.ExclusionText = "\\\\";
  BuildExclusionList(Program.ExclusionText);
}

struct ComparisonResult {
  size_t olderVersions = 0;
};

ComparisonResult CompareMemberPair(const std::string& oldName, const std::string& newName,
                                   const std::string& reportName) {
  std::ifstream oldMember(oldName, std::ios::binary), newMember(newName, std::ios::binary);
  if (!oldMember || !newMember) Fail("open " + oldName + " or " + newName);
  std::vector<std::string> olderVersions;
  CatalogueComparisonContext context;
  context.workingDirectory = CurrentDirectory() + "\\";
  context.isExcluded = IsExcluded;
  context.olderVersions = &olderVersions;
  TextFileWriter report(reportName);
  report::Writer out(report);
  CompareCatalogues(oldMember, newMember, out, context);
  report.Close();
  return {olderVersions.size()};
}

long ReadLineByLine(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) Fail("open " + name);
  std::string line;
  long lines = 0;
  while (ReadTextLine(in, line)) ++lines;
  return lines;
}

std::vector<std::string> LinesOf(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (ReadTextLine(in, line)) lines.push_back(line);
  return lines;
}

// ---------------------------------------------------------------------------
// The memory probe: one comparison in a process of its own, which writes
// its peak working set before and after, and the live heap growth.
int Probe(const std::vector<std::string>& files) {
  SetUpExclusions();
  return MemoryProbe(files, [](const std::string& o, const std::string& n, const std::string& r) {
    CompareMemberPair(o, n, r);
  });
}

// ---------------------------------------------------------------------------

struct Pair {
  std::string oldName, newName;
  MemberPairCount count;
};

Pair GeneratePair(const std::string& dir, const char* stem, long lines, int changes) {
  Pair p{dir + "\\" + stem + ".001", dir + "\\" + stem + ".002", {}};
  MemberPairShape shape{lines, changes, 49, 16, 'Q'};
  p.count = WriteMemberPair(shape, p.oldName, p.newName);
  return p;
}

struct Run {
  Options options;
  std::string dir;
  char previousDirectory[MAX_PATH] = {};

  void CleanUp() {
    if (previousDirectory[0]) SetCurrentDirectoryA(previousDirectory);
    RemoveHostTree(dir);
    RemoveDirectoryA(options.work.c_str());
  }
};

void PrintPair(const char* what, const Pair& p) {
  printf("%s: %ld directories; before %ld entry lines (%s), after %ld (%s); %d changed, "
         "%d removed, %d added files\n",
         what, p.count.directories, p.count.oldEntries, Mib(FileSizeOrZero(p.oldName)).c_str(),
         p.count.newEntries, Mib(FileSizeOrZero(p.newName)).c_str(), p.count.changed,
         p.count.removed, p.count.added);
}

int Bench(Run& run) {
  const Options& o = run.options;
  run.dir = o.work + "compare";
  run.CleanUp();  // what an earlier, killed run may have left
  CreateDirectoryA(o.work.c_str(), nullptr);
  if (!CreateDirectoryA(run.dir.c_str(), nullptr)) Fail("CreateDirectory " + run.dir);
  GetCurrentDirectoryA(MAX_PATH, run.previousDirectory);
  if (!SetCurrentDirectoryA(run.dir.c_str())) Fail("SetCurrentDirectory " + run.dir);
  SetUpExclusions();

  double t0 = Seconds();
  Progress("generating catalogue members of %d and %d entry lines...\n", o.lines, o.smallLines);
  Pair large = GeneratePair(run.dir, "LARGE", o.lines, o.changes);
  CheckInterrupted();
  Pair small = GeneratePair(run.dir, "SMALL", o.smallLines, o.changes);
  Progress("  %.1f s\n", Seconds() - t0);

  Progress("measuring the memory of a comparison...\n");
  ProbeResult smallMemory = RunMemoryProbe(small.oldName, small.newName, run.dir + "\\small.mem");
  ProbeResult largeMemory = RunMemoryProbe(large.oldName, large.newName, run.dir + "\\large.mem");

  Progress("timing the comparison...\n");
  const std::string reportName = run.dir + "\\LARGE.PV2";
  long readLines = 0;
  ComparisonResult result;
  Pairing comparison = TimePair(
      o.repetitions,
      [&] { readLines = ReadLineByLine(large.oldName) + ReadLineByLine(large.newName); },
      [&] { result = CompareMemberPair(large.oldName, large.newName, reportName); });

  std::vector<std::string> report = LinesOf(reportName);
  std::string countLine = report.size() >= 2 ? report[report.size() - 2] : "";
  PrintPair("large pair", large);
  PrintPair("small pair", small);
  printf("report of the large pair: %zu lines, count line \"%s\" (expected \"%s\"), "
         "%zu older versions (expected %d)\n",
         report.size(), countLine.c_str(), report::CountLine(o.changes).c_str(),
         result.olderVersions, large.count.olderVersions);
  printf("seconds per repetition (%ld lines read):\n", readLines);
  PrintPairing("read both members", "CompareCatalogues", comparison);
  printf("comparison memory (live heap growth / peak working set of a fresh process before "
         "-> after):\n");
  printf("  %7ld entry lines: %s / %s -> %s\n", small.count.oldEntries,
         Kib(smallMemory.heapGrowth).c_str(), Mib(smallMemory.peakBefore).c_str(),
         Mib(smallMemory.peakAfter).c_str());
  printf("  %7ld entry lines: %s / %s -> %s\n", large.count.oldEntries,
         Kib(largeMemory.heapGrowth).c_str(), Mib(largeMemory.peakBefore).c_str(),
         Mib(largeMemory.peakAfter).c_str());
  long long growth = static_cast<long long>(largeMemory.peakAfter) -
                     static_cast<long long>(smallMemory.peakAfter);
  printf("  peak working set, large pair over small pair: %+lld KiB\n", growth / 1024);
  printf("peak working set of the comparison benchmark: %s\n", Mib(PeakWorkingSet()).c_str());
  PrintRatio("compare_vs_read", comparison);
  fflush(stdout);
  return countLine == report::CountLine(o.changes) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  return RunBenchmark("bench_comparison", "the generated members", argc, argv, run.options, [&] { return Bench(run); },
                      [&] { run.CleanUp(); }, Probe);
}
