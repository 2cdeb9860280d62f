// Registry comparison benchmark: how much the comparison of two registry
// snapshots costs over reading both files once, and that its memory does not
// grow with the registry.
//
// It writes, as files (not through the registry), a pair of snapshots the
// size of a Windows 11 registry (by default 700,000 keys and 1,200,000
// values of every type) that differ by 1,000 changes spread over the whole
// tree, in turn: a value's data changed, a value added, one removed, a key
// added with a value, one removed with its value, a value's type changed.
// A pair a tenth of that size serves the memory measure. Then it times,
// alternating so that both see the same cache state:
//   - reading both snapshots of the large pair once with ReadTextLine,
//   - CompareRegistry of the pair into a report file, with the exclusions in
//     force (the built-in list).
// The peak working set of a comparison is measured in a fresh process of
// its own for each pair. The last line is "registry_compare_vs_read: R",
// the median ratio over the repetitions.
//
// Everything it generates is removed again, also after Ctrl+C.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "comparison/registry_comparison.h"
#include "comparison/report_format.h"
#include "services/registry_text.h"
#include "services/text_file.h"
#include "services/text_lines.h"

namespace {

// A tree under each root: 100 keys, 10 below each, then leaves below those.
constexpr int TopKeys = 100, MiddleKeys = 10;

std::string Name(char letter, int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%cK%06d", letter, n);
  return text;
}

// The value lines of a leaf, sorted as the snapshot writer sorts them.
std::vector<std::string> LeafValues(long leaf, int count) {
  std::vector<std::string> lines;
  for (int v = 0; v < count; ++v) {
    char name[16];
    std::snprintf(name, sizeof name, "V%d", v);
    RegistryValueData value{FromCp1252(name), 1, {}};
    switch ((leaf + v) % 5) {
      case 0: value.data = DataOfString(FromCp1252("C:\\Program Files\\Appli\\" + std::to_string(leaf))); break;
      case 1: value.type = 3; value.data = {1, 2, 3, static_cast<uint8_t>(leaf), 0xAB, 0xCD}; break;
      case 2: value.type = 4; value.data = {static_cast<uint8_t>(leaf), 0, 0, 0}; break;
      case 3: value.type = 2; value.data = DataOfString(u"%SystemRoot%\\system32"); break;
      default: value.type = 7; value.data = DataOfStrings({u"un", u"deux"}); break;
    }
    lines.push_back(SnapshotValueLine(value));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

struct PairShape {
  long keys, values;
  int changes;
};

struct PairCount {
  long keys = 0, values = 0;
  long changesReported = 0;  // the count the report must give
};

class PairWriter {
 public:
  PairWriter(const PairShape& shape, const std::string& oldName, const std::string& newName)
      : shape_(shape), old_(oldName), new_(newName) {
    leavesPerMiddle_ = std::max(1L, shape.keys / (2L * TopKeys * MiddleKeys));
    leaves_ = 2L * TopKeys * MiddleKeys * leavesPerMiddle_;
  }

  PairCount Run() {
    for (auto* out : {&old_, &new_}) {
      out->WriteLine("BDR95");
      out->WriteLine(std::string(EscapedSnapshotMark));
    }
    long leaf = 0;
    for (const char* root : {"HKey_Local_Machine", "HKey_Users"}) {
      Both(std::string("y") + root);
      for (int t = 0; t < TopKeys; ++t) {
        Both(Name('x', t));
        for (int m = 0; m < MiddleKeys; ++m) {
          Both(Name('w', m));
          for (long l = 0; l < leavesPerMiddle_; ++l, ++leaf) Leaf(leaf, l);
        }
      }
    }
    old_.Close();
    new_.Close();
    return count_;
  }

 private:
  void Both(const std::string& line) {
    old_.WriteLine(line);
    new_.WriteLine(line);
    if (line[0] >= 'a' && line[0] <= 'z') ++count_.keys;
  }

  // The number of values of a leaf: the values spread evenly.
  int ValuesOf(long leaf) const {
    return static_cast<int>((leaf + 1) * shape_.values / leaves_ - leaf * shape_.values / leaves_);
  }

  // The change a leaf carries (0 to 5), or -1.
  int ChangeOf(long leaf) const {
    long step = std::max(1L, leaves_ / shape_.changes);
    if (leaf % step != step / 2 || leaf / step >= shape_.changes) return -1;
    return static_cast<int>((leaf / step) % 6);
  }

  void Leaf(long leaf, long n) {
    Both(Name('v', static_cast<int>(n)));
    std::vector<std::string> values = LeafValues(leaf, std::max(1, ValuesOf(leaf)));
    std::vector<std::string> oldValues = values, newValues = values;
    count_.values += static_cast<long>(values.size());
    const std::string extra = SnapshotValueLine({u"ZZ", 1, DataOfString(u"en plus")});
    switch (ChangeOf(leaf)) {
      case 0:  // a value's data changed
        oldValues.push_back(SnapshotValueLine({u"ZA", 1, DataOfString(u"avant")}));
        newValues.push_back(SnapshotValueLine({u"ZA", 1, DataOfString(u"après")}));
        count_.changesReported += 2;
        break;
      case 1: newValues.push_back(extra); count_.changesReported += 1; break;
      case 2: oldValues.push_back(extra); count_.changesReported += 1; break;
      case 5:  // a value's type changed: the same text, now expandable
        oldValues.push_back(SnapshotValueLine({u"ZA", 1, DataOfString(u"%TEMP%")}));
        newValues.push_back(SnapshotValueLine({u"ZA", 2, DataOfString(u"%TEMP%")}));
        count_.changesReported += 2;
        break;
      default: break;
    }
    std::sort(oldValues.begin(), oldValues.end());
    std::sort(newValues.begin(), newValues.end());
    for (const auto& line : oldValues) old_.WriteLine(line);
    for (const auto& line : newValues) new_.WriteLine(line);
    const int change = ChangeOf(leaf);
    if (change == 3 || change == 4) {  // a key with a value, added or removed
      TextFileWriter& side = change == 3 ? new_ : old_;
      side.WriteLine("uAjout");
      side.WriteLine(extra);
      count_.changesReported += 2;
    }
  }

  PairShape shape_;
  TextFileWriter old_, new_;
  long leaves_ = 0, leavesPerMiddle_ = 0;
  PairCount count_;
};

const RegistryExclusions& Exclusions() {
  static const RegistryExclusions exclusions(RegistryExclusions::BuiltIn());
  return exclusions;
}

void CompareSnapshotPair(const std::string& oldName, const std::string& newName,
                         const std::string& reportName) {
  std::ifstream oldMember(oldName, std::ios::binary), newMember(newName, std::ios::binary);
  if (!oldMember || !newMember) Fail("open " + oldName + " or " + newName);
  TextFileWriter report(reportName);
  report::Writer out(report);
  CompareRegistry(oldMember, newMember, out, Exclusions());
  report.Close();
}

long ReadLineByLine(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) Fail("open " + name);
  std::string line;
  long lines = 0;
  while (ReadTextLine(in, line)) ++lines;
  return lines;
}

// The memory probe: one comparison in a process of its own.
int Probe(const std::vector<std::string>& files) {
  Exclusions();
  return MemoryProbe(files, CompareSnapshotPair);
}

struct Pair {
  std::string oldName, newName;
  PairCount count;
};

Pair GeneratePair(const std::string& dir, const char* stem, const PairShape& shape) {
  Pair p{dir + "\\" + stem + ".001", dir + "\\" + stem + ".002", {}};
  p.count = PairWriter(shape, p.oldName, p.newName).Run();
  return p;
}

struct Run {
  Options options;
  std::string dir;

  void CleanUp() {
    RemoveHostTree(dir);
    RemoveDirectoryA(options.work.c_str());
  }
};

int Bench(Run& run) {
  const Options& o = run.options;
  run.dir = o.work + "registry";
  run.CleanUp();
  CreateDirectoryA(o.work.c_str(), nullptr);
  if (!CreateDirectoryA(run.dir.c_str(), nullptr)) Fail("CreateDirectory " + run.dir);

  double t0 = Seconds();
  Progress("generating snapshots of %d keys and %d values, and of a tenth of that...\n",
           o.registryKeys, o.registryValues);
  Pair large = GeneratePair(run.dir, "LARGE", {o.registryKeys, o.registryValues, o.changes});
  CheckInterrupted();
  Pair small = GeneratePair(run.dir, "SMALL", {o.registryKeys / 10, o.registryValues / 10, o.changes});
  Progress("  %.1f s\n", Seconds() - t0);

  Progress("measuring the memory of a comparison...\n");
  ProbeResult smallMemory = RunMemoryProbe(small.oldName, small.newName, run.dir + "\\small.mem");
  ProbeResult largeMemory = RunMemoryProbe(large.oldName, large.newName, run.dir + "\\large.mem");

  Progress("timing the registry comparison...\n");
  const std::string reportName = run.dir + "\\LARGE.PV2";
  long readLines = 0;
  Pairing comparison = TimePair(
      o.repetitions,
      [&] { readLines = ReadLineByLine(large.oldName) + ReadLineByLine(large.newName); },
      [&] { CompareSnapshotPair(large.oldName, large.newName, reportName); });

  std::ifstream reportIn(reportName, std::ios::binary);
  std::string line, countLine;
  long reportLines = 0;
  while (ReadTextLine(reportIn, line)) {
    ++reportLines;
    if (report::IsCountLine(line)) countLine = line;
  }
  const std::string expected = report::CountLine(static_cast<uint64_t>(large.count.changesReported));
  printf("large pair: %ld keys, %ld values, %s and %s\n", large.count.keys, large.count.values,
         Mib(FileSizeOrZero(large.oldName)).c_str(), Mib(FileSizeOrZero(large.newName)).c_str());
  printf("small pair: %ld keys, %ld values\n", small.count.keys, small.count.values);
  printf("report of the large pair: %ld lines, count line \"%s\" (expected \"%s\")\n", reportLines,
         countLine.c_str(), expected.c_str());
  printf("seconds per repetition (%ld lines read):\n", readLines);
  PrintPairing("read both snapshots", "CompareRegistry", comparison);
  printf("registry comparison memory (live heap growth / peak working set of a fresh process "
         "before -> after):\n");
  printf("  %8ld keys: %s / %s -> %s\n", small.count.keys, Kib(smallMemory.heapGrowth).c_str(),
         Mib(smallMemory.peakBefore).c_str(), Mib(smallMemory.peakAfter).c_str());
  printf("  %8ld keys: %s / %s -> %s\n", large.count.keys, Kib(largeMemory.heapGrowth).c_str(),
         Mib(largeMemory.peakBefore).c_str(), Mib(largeMemory.peakAfter).c_str());
  long long growth = static_cast<long long>(largeMemory.peakAfter) -
                     static_cast<long long>(smallMemory.peakAfter);
  printf("  peak working set, large pair over small pair: %+lld KiB\n", growth / 1024);
  PrintRatio("registry_compare_vs_read", comparison);
  fflush(stdout);
  return countLine == expected ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  return RunBenchmark("bench_registry", "the generated snapshots", argc, argv, run.options, [&] { return Bench(run); },
                      [&] { run.CleanUp(); }, Probe);
}
