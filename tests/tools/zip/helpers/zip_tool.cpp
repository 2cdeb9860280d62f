// A command-line face of PVZIP.DLL and PVUNZIP.DLL for the
// interoperability test, which runs it under Wine beside the two DLLs
// (loaded by name, as the program loads them):
//   zip_tool add ARCHIVE [--level N] [--dirs] [--recurse] PATTERN...
//   zip_tool delete ARCHIVE PATTERN...
//   zip_tool extract ARCHIVE FOLDER [--dirs] [PATTERN...]
//   zip_tool test ARCHIVE [PATTERN...]
// It prints what the callback hears, one line each, in CP1252:
//   "file<TAB>size<TAB>name", "message<TAB>code<TAB>text", and at the end
//   "count<TAB>n". The exit code is 0 when no error message came.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/zip/zip_records.h"

namespace {

int errors = 0;

int32_t WINAPI Listen(ZipCallbackRecord* record) {
  if (record->Action == ZipActionNewFile) printf("file\t%d\t%s\n", record->FileSize, record->Text);
  if (record->Action == ZipActionMessage) {
    printf("message\t%d\t%s\n", record->ErrorCode, record->Text);
    if (record->ErrorCode != 0) ++errors;
  }
  return 0;
}

[[noreturn]] void Usage() {
  fprintf(stderr, "usage: zip_tool add|delete|extract|test ARCHIVE [FOLDER] [options] PATTERN...\n");
  exit(2);
}

FARPROC EntryPoint(const char* library, const char* name) {
  HMODULE module = LoadLibraryA(library);
  FARPROC entry = module ? GetProcAddress(module, name) : nullptr;
  if (!entry) {
    fprintf(stderr, "zip_tool: %s!%s not found\n", library, name);
    exit(2);
  }
  return entry;
}

struct Arguments {
  std::string command, archive, folder;
  int level = 9;
  bool dirs = false, recurse = false;
  std::vector<std::string> patterns;
};

Arguments Parse(int argc, char** argv) {
  if (argc < 3) Usage();
  Arguments a;
  a.command = argv[1];
  a.archive = argv[2];
  int i = 3;
  if (a.command == "extract") {
    if (argc < 4) Usage();
    a.folder = argv[i++];
  }
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--level" && i + 1 < argc) a.level = atoi(argv[++i]);
    else if (arg == "--dirs") a.dirs = true;
    else if (arg == "--recurse") a.recurse = true;
    else a.patterns.push_back(arg);
  }
  return a;
}

template <class Request>
void Fill(Request& r, const Arguments& a, std::vector<char*>& patterns) {
  r.Version = ZipStructureVersion;
  r.Check = ZipStructureCheck;
  r.Callback = &Listen;
  r.Quiet = 1;
  r.ArchiveName = const_cast<char*>(a.archive.c_str());
  r.PatternCount = static_cast<int32_t>(patterns.size());
  for (size_t i = 0; i < patterns.size(); ++i) r.Patterns[i] = patterns[i];
}

int32_t RunZip(const Arguments& a, std::vector<char*>& patterns) {
  auto fn = reinterpret_cast<ZipExecuteFunction>(reinterpret_cast<void*>(EntryPoint("PVZIP.DLL", "ZipExecute")));
  auto request = std::make_unique<ZipRequest>();
  Fill(*request, a, patterns);
  ZipRequest& r = *request;
  r.NoDirectoryEntries = 1;
  r.HiddenFiles = 1;
  r.Level = a.level;
  r.DeleteEntries = a.command == "delete";
  r.Grow = !r.DeleteEntries;
  r.JunkDirectoryNames = !a.dirs && !r.DeleteEntries;
  r.Recurse = a.recurse;
  return fn(&r);
}

int32_t RunUnzip(const Arguments& a, std::vector<char*>& patterns) {
  auto fn = reinterpret_cast<UnzipExecuteFunction>(reinterpret_cast<void*>(EntryPoint("PVUNZIP.DLL", "UnzipExecute")));
  auto request = std::make_unique<UnzipRequest>();
  Fill(*request, a, patterns);
  UnzipRequest& r = *request;
  r.Test = a.command == "test";
  r.Overwrite = 1;
  r.DirectoryNames = a.dirs;
  if (!a.folder.empty() && !SetCurrentDirectoryA(a.folder.c_str())) {
    fprintf(stderr, "zip_tool: no folder %s\n", a.folder.c_str());
    exit(2);
  }
  return fn(&r);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments a = Parse(argc, argv);
  // The archive is named in full: extraction changes the current directory.
  char full[MAX_PATH] = {};
  GetFullPathNameA(a.archive.c_str(), MAX_PATH, full, nullptr);
  a.archive = full;
  std::vector<std::string> texts = a.patterns;
  std::vector<char*> patterns;
  for (std::string& t : texts) patterns.push_back(t.data());
  int32_t count = 0;
  if (a.command == "add" || a.command == "delete") count = RunZip(a, patterns);
  else if (a.command == "extract" || a.command == "test") count = RunUnzip(a, patterns);
  else Usage();
  printf("count\t%d\n", count);
  return errors == 0 ? 0 : 1;
}
