// Recording benchmark: how much the catalogue scan, the registry snapshot
// and a whole recorded state cost over the bare listing and the bare
// enumeration they are built on.
//
// It generates a tree of files on a drive letter of its own and a sandboxed
// registry, then times, alternating so that both see the same cache state:
//   - a bare FindFirstFileA/FindNextFileA walk of the tree that writes nothing,
//     against a catalogue member of the same tree ("* " then
//     CatalogueDirectory);
//   - a bare RegEnumKeyExA/RegEnumValueA walk of the sandbox, against
//     WriteRegistrySnapshot of the sandbox;
//   - both bare walks, against RecordState of that drive and the registry.
// The last lines of its output are "catalogue_vs_walk: R",
// "snapshot_vs_enum: R" and "record_vs_walks: R", each the median ratio over
// the repetitions.
//
// Runs under Wine only (drive letters are links in the prefix's dosdevices
// folder); bench/run-bench.sh prepares the prefix. Everything it generates
// is removed again, also after Ctrl+C.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "generated_names.h"
#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "services/snapshot.h"
#include "services/text_file.h"
#include "shell/program_state.h"

namespace {

// ---------------------------------------------------------------------------
// The generated tree: directories numbered breadth first, each with a fixed
// number of files.

struct TreeShape {
  int directories;
  int filesPerDirectory;
  int branching;
};

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
// The whole state: the catalogue of the generated drive and the registry
// snapshot, as a recording with the settings Drives = that letter and
// Type = "R" makes it, into the current directory.

constexpr const char* StateBase = "BENCHST";

void RecordWholeState(char driveLetter) {
  Program.RecordDrives = std::string(1, driveLetter);
  Program.RecordTypes = "R";
  Program.StateSizeTotal = 0;
  RecordState(StateBase);
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
  HeapWatch heap;
  CatalogueMember(root, out);
  m.heapGrowth = heap.Growth();
  m.peakAfter = PeakWorkingSet();
  m.lines = CountLines(out);
  return m;
}

struct Run {
  Options options;
  std::string tree, small, out;
  DriveLink drive, smallDrive;
  RegistryArea registry;
  char previousDirectory[MAX_PATH] = {};

  void CleanUp() {
    registry.Remove();
    drive.Remove();
    smallDrive.Remove();
    if (previousDirectory[0]) SetCurrentDirectoryA(previousDirectory);
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
  // State files go into the current directory, as in the program directory
  // of a real run.
  GetCurrentDirectoryA(MAX_PATH, run.previousDirectory);
  if (!SetCurrentDirectoryA(run.out.c_str())) Fail("SetCurrentDirectory " + run.out);

  // The program directory is excluded from every catalogue, as in a real run.
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  Program.ProgramDirectory = std::string(module, strrchr(module, '\\') + 1);
  Program.CommandLineMode = true;
  Program.ExclusionText = "\\\\";
  BuildExclusionList(Program.ExclusionText);

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

  Progress("timing the whole state...\n");
  const char letter = run.drive.Root()[0];
  Pairing state = TimePair(
      o.repetitions,
      [&] {
        WalkCount w;
        EnumCount e;
        BareWalk(run.drive.Root(), w);
        BareRegistryWalk(e);
      },
      [&] { RecordWholeState(letter); });
  long stateLines[3] = {};
  for (int n = 0; n < 3; ++n)
    stateLines[n] = CountLines(StateFileName(std::string(StateBase) + MemberSuffix(n)));

  printf("tree: %ld directories, %ld files on %s (walk saw %ld and %ld); catalogue %ld lines\n",
         static_cast<long>(full.directories), files, run.drive.Root().c_str(),
         walked.directories, walked.files, catalogueLines);
  printf("registry: %ld keys, %ld values of the recorded types, %ld others (enumeration saw "
         "%ld keys, %ld values); snapshot %ld lines\n",
         generated.keys, generated.recorded, generated.others, enumerated.keys,
         enumerated.values, snapshotLines);
  printf("state %s (drives \"%s\", types \"%s\"): index %ld lines, catalogue %ld lines, "
         "registry %ld lines, %u units of 512 bytes\n",
         StateBase, Program.RecordDrives.c_str(), Program.RecordTypes.c_str(), stateLines[0],
         stateLines[1], stateLines[2], Program.StateSizeTotal);
  printf("seconds per repetition:\n");
  PrintPairing("bare directory walk", "catalogue member", catalogue);
  PrintPairing("bare registry walk", "registry snapshot", snapshot);
  PrintPairing("both bare walks", "RecordState", state);
  printf("catalogue memory (live heap growth / peak working set before -> after):\n");
  printf("  %5d directories, %6ld files: %s / %s -> %s (%ld lines)\n", little.directories,
         smallFiles, Kib(smallMemory.heapGrowth).c_str(), Mib(smallMemory.peakBefore).c_str(),
         Mib(smallMemory.peakAfter).c_str(), smallMemory.lines);
  printf("  %5d directories, %6ld files: %s / %s -> %s (%ld lines)\n", full.directories, files,
         Kib(fullMemory.heapGrowth).c_str(), Mib(fullMemory.peakBefore).c_str(),
         Mib(fullMemory.peakAfter).c_str(), fullMemory.lines);
  printf("peak working set of the recording benchmark: %s\n", Mib(PeakWorkingSet()).c_str());
  PrintRatio("catalogue_vs_walk", catalogue);
  PrintRatio("snapshot_vs_enum", snapshot);
  PrintRatio("record_vs_walks", state);
  fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  return RunBenchmark("bench_recording", "the generated tree and registry keys", argc, argv, run.options,
                      [&] { return Bench(run); }, [&] { run.CleanUp(); });
}
