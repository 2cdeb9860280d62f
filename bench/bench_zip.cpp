// ZIP benchmark: what adding a file to an archive through PVZIP.DLL costs
// over the least any level-9 deflate of the same bytes must do.
//
// It writes a 64 MB file of mixed content (runs of text-like lines with
// repeats, between blocks of random bytes) and times, alternating so that
// both see the same cache state:
//   - the floor: zlib deflating the bytes, already in memory, at level 9 in
//     one call (raw deflate, the parameters the library uses);
//   - ZipExecute adding the file at level 9 to a new archive: reading it,
//     deflating, the CRC, writing the archive, its temporary file and the
//     rename.
// The last line is "zip_vs_deflate: R", the median ratio.
//
// Runs under Wine only; bench/run-bench.sh prepares the prefix. The file
// and the archive are removed again, also after Ctrl+C.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "tools/zip/zip_records.h"

namespace {

constexpr size_t FileSize = 64u << 20;
constexpr size_t BlockSize = 64u << 10;

// One block in four random, the others lines drawn from a small vocabulary
// with numbers that vary: deflate finds matches, but not everywhere.
std::string MixedContent() {
  static const char* const words[] = {"DEVICE", "C:\\WINDOWS\\SYSTEM\\", "pilote", "=", "vxd", "[386Enh]",
                                      "Shell", "explorer.exe", "HIMEM.SYS", "rem", "Clavier", "Souris"};
  std::string bytes;
  bytes.reserve(FileSize);
  uint32_t x = 2463534242u;
  auto next = [&x] { return x ^= x << 13, x ^= x >> 17, x ^= x << 5; };
  while (bytes.size() < FileSize) {
    const size_t end = std::min(FileSize, bytes.size() + BlockSize);
    if (next() % 4 == 0) {
      while (bytes.size() < end) bytes += static_cast<char>(next() >> 11);
      continue;
    }
    while (bytes.size() < end) {
      bytes += words[next() % 12];
      bytes += words[next() % 12];
      bytes += std::to_string(next() % 1000) + "\r\n";
    }
    bytes.resize(end);
  }
  return bytes;
}

size_t DeflateInMemory(const std::string& bytes, std::vector<unsigned char>& out) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) Fail("deflateInit2");
  out.resize(deflateBound(&z, static_cast<uLong>(bytes.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) Fail("deflate");
  const size_t produced = z.total_out;
  deflateEnd(&z);
  return produced;
}

ZipExecuteFunction LoadZip() {
  std::string folder = std::string("Z:") + PV_ZIP_LIBRARY_DIR;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  SetDllDirectoryA(folder.c_str());
  HMODULE library = LoadLibraryA("PVZIP.DLL");
  if (!library) Fail("LoadLibrary PVZIP.DLL from " + folder);
  auto* entry = GetProcAddress(library, "ZipExecute");
  if (!entry) Fail("ZipExecute");
  return reinterpret_cast<ZipExecuteFunction>(reinterpret_cast<void*>(entry));
}

// A new archive holding the file, as the component asks for one.
void AddToNewArchive(ZipExecuteFunction zipExecute, std::string archive, std::string file) {
  DeleteFileA(archive.c_str());
  auto request = std::make_unique<ZipRequest>();
  ZipRequest& r = *request;
  r.Version = ZipStructureVersion;
  r.Check = ZipStructureCheck;
  r.Quiet = 1;
  r.NoDirectoryEntries = 1;
  r.Level = 9;
  r.JunkDirectoryNames = 1;
  r.Grow = 1;
  r.ArchiveName = archive.data();
  r.PatternCount = 1;
  r.Patterns[0] = file.data();
  if (zipExecute(&r) != 1) Fail("ZipExecute did not add " + file);
}

struct Run {
  std::string dir;
  void CleanUp() { RemoveHostTree(dir); }
};

int Bench(const Options& o, Run& run) {
  run.dir = o.work + "zip\\";
  run.CleanUp();
  CreateDirectoryA(o.work.c_str(), nullptr);
  if (!CreateDirectoryA(run.dir.c_str(), nullptr)) Fail("CreateDirectory " + run.dir);
  const ZipExecuteFunction zipExecute = LoadZip();

  Progress("writing a file of %zu MB of mixed content...\n", FileSize >> 20);
  const std::string bytes = MixedContent();
  const std::string file = run.dir + "melange.bin", archive = run.dir + "PVLN0001.ZIP";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (h == INVALID_HANDLE_VALUE || !WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    Fail("write " + file);
  CloseHandle(h);

  Progress("timing...\n");
  std::vector<unsigned char> deflated;
  size_t deflatedSize = 0;
  const Pairing timing = TimePair(
      o.repetitions, [&] { deflatedSize = DeflateInMemory(bytes, deflated); },
      [&] { AddToNewArchive(zipExecute, archive, file); });
  printf("%zu bytes deflated to %zu in memory; the archive holds %zu bytes\n", bytes.size(), deflatedSize,
         FileSizeOrZero(archive));
  printf("seconds per repetition:\n");
  PrintPairing("deflate in memory, level 9", "ZipExecute, level 9", timing);
  PrintRatio("zip_vs_deflate", timing);
  fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  Options options;
  return RunBenchmark("bench_zip", "the generated files", argc, argv, options, [&] { return Bench(options, run); },
                      [&] { run.CleanUp(); });
}
