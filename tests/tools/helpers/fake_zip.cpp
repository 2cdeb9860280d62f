// Stand-ins for PVZIP.DLL (FAKE_UNZIP undefined) and PVUNZIP.DLL
// (FAKE_UNZIP defined) for the archive component's tests. Each call writes
// what it was given into the file that PV_FAKE_ZIP_LOG names, one line of
// tab-separated key=value pairs, then plays PV_FAKE_ZIP_SCRIPT: steps
// separated by "|" ("new:NAME:SIZE", "step", "end", "msg:CODE:TEXT" where
// "~" is a carriage return and "^" a line feed, "stranger" (a record for a
// component that is not the caller), "until-stop", "fault", "throw",
// "raise", "return:N"). Every answer of the callback is logged; an answer
// of 1 ends the call. FAKE_NO_EXECUTE and FAKE_NO_VERSION leave out one of
// the two entry points.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tools/zip/zip_records.h"

// Each kind of library uses only some of these.
#pragma GCC diagnostic ignored "-Wunused-function"

namespace {

std::string Environment(const char* name) {
  char value[4096] = {};
  GetEnvironmentVariableA(name, value, sizeof value);
  return value;
}

void Log(const std::string& line) {
  if (FILE* f = std::fopen(Environment("PV_FAKE_ZIP_LOG").c_str(), "ab")) {
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
  }
}

std::string Field(const char* key, long long value) { return std::string("\t") + key + "=" + std::to_string(value); }
std::string Field(const char* key, const char* text) { return std::string("\t") + key + "=" + (text ? text : "(null)"); }
std::string Pointer(const char* key, const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return std::string("\t") + key + "=" + text;
}

template <class Request>
std::string Patterns(const Request& r) {
  std::string line;
  for (int i = 0; i < r.PatternCount && i < ZipMaxPatterns; ++i)
    line += Field(("Pattern" + std::to_string(i)).c_str(), r.Patterns[i]);
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  return line + Field("CurrentDirectory", current);
}

// Plays the script; answers the number of files "processed".
int32_t Play(ZipCallbackFunction callback, void* component, HWND owner, int32_t patternCount) {
  std::string script = Environment("PV_FAKE_ZIP_SCRIPT");
  int32_t result = patternCount;
  ZipCallbackRecord record{};
  auto call = [&](int32_t action, int32_t code, int32_t size, const std::string& text, void* to) {
    record = ZipCallbackRecord{};
    record.Owner = owner;
    record.Component = to;
    record.Action = action;
    record.ErrorCode = code;
    record.FileSize = size;
    text.copy(record.Text, ZipCallbackTextSize - 1);
    const int32_t answer = callback(&record);
    Log("answer=" + std::to_string(answer));
    return answer;
  };
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find('|', start);
    if (end == std::string::npos) end = script.size();
    const std::string step = script.substr(start, end - start);
    start = end + 1;
    const size_t colon = step.find(':');
    const std::string verb = step.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : step.substr(colon + 1);
    int32_t answer = 0;
    if (verb == "new") {
      const size_t last = rest.rfind(':');
      answer = call(ZipActionNewFile, 0, std::atoi(rest.substr(last + 1).c_str()), rest.substr(0, last), component);
    } else if (verb == "step") {
      answer = call(ZipActionProgress, 0, 0, "", component);
    } else if (verb == "end") {
      answer = call(ZipActionEndBatch, 0, 0, "", component);
    } else if (verb == "msg") {
      const size_t sep = rest.find(':');
      std::string text = rest.substr(sep + 1);
      for (char& c : text) c = c == '~' ? '\r' : c == '^' ? '\n' : c;
      answer = call(ZipActionMessage, std::atoi(rest.substr(0, sep).c_str()), 0, text, component);
    } else if (verb == "stranger") {
      static int notAComponent = 0;
      answer = call(ZipActionMessage, 1, 0, "stranger", &notAComponent);
    } else if (verb == "until-stop") {
      for (int i = 1; i <= 1000; ++i)
        if (call(ZipActionProgress, 0, 0, "", component) == 1) {
          Log("stopped after " + std::to_string(i));
          return i;
        }
    } else if (verb == "fault") {
      *static_cast<volatile int*>(nullptr) = 1;
    } else if (verb == "throw") {
      throw std::runtime_error("fake library failure");
    } else if (verb == "raise") {
      RaiseException(0xE0000001, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    } else if (verb == "return") {
      result = std::atoi(rest.c_str());
    }
    if (answer == 1) {
      Log("stopped");
      return 0;
    }
  }
  return result;
}

}  // namespace

#ifndef FAKE_UNZIP

#ifndef FAKE_NO_EXECUTE
extern "C" __declspec(dllexport) int32_t WINAPI ZipExecute(ZipRequest* r) {
  const int32_t zeros = r->Reserved24 + r->Zero36 + r->Zero40 + r->Zero48 + r->Zero64 + r->Zero68 + r->Zero104 +
                        r->Reserved112 + r->Reserved116;
  Log(std::string("ZipExecute") + Pointer("Owner", r->Owner) + Pointer("Component", r->Component) +
      Field("Version", r->Version) + Field("Trace", r->Trace) + Field("Password", r->Password) +
      Field("Encrypt", r->Encrypt) + Field("HiddenFiles", r->HiddenFiles) +
      Field("NoDirectoryEntries", r->NoDirectoryEntries) + Field("Verbose", r->Verbose) + Field("Quiet", r->Quiet) +
      Field("Level", r->Level) + Field("JunkDirectoryNames", r->JunkDirectoryNames) + Field("Recurse", r->Recurse) +
      Field("Grow", r->Grow) + Field("DosNames", r->DosNames) + Field("Move", r->Move) +
      Field("DeleteEntries", r->DeleteEntries) + Field("Update", r->Update) + Field("Freshen", r->Freshen) +
      Field("ArchiveTime", r->ArchiveTime) + Field("Zeros", zeros) + Field("PatternCount", r->PatternCount) +
      Field("ArchiveName", r->ArchiveName) + Field("Check", r->Check) + Patterns(*r));
  return Play(r->Callback, r->Component, r->Owner, r->PatternCount);
}
#endif
#ifndef FAKE_NO_VERSION
extern "C" __declspec(dllexport) int32_t WINAPI ZipLibraryVersion() { return 100; }
#endif

#else

#ifndef FAKE_NO_EXECUTE
extern "C" __declspec(dllexport) int32_t WINAPI UnzipExecute(UnzipRequest* r) {
  const int32_t zeros = r->Reserved20 + r->Zero32 + r->Zero36;
  Log(std::string("UnzipExecute") + Pointer("Owner", r->Owner) + Pointer("Component", r->Component) +
      Field("Version", r->Version) + Field("Trace", r->Trace) + Field("Password", r->Password) +
      Field("Test", r->Test) + Field("Quiet", r->Quiet) + Field("Verbose", r->Verbose) + Field("Update", r->Update) +
      Field("Freshen", r->Freshen) + Field("DirectoryNames", r->DirectoryNames) + Field("Overwrite", r->Overwrite) +
      Field("Zeros", zeros) + Field("PatternCount", r->PatternCount) + Field("ArchiveName", r->ArchiveName) +
      Field("Check", r->Check) + Patterns(*r));
  return Play(r->Callback, r->Component, r->Owner, r->PatternCount);
}
#endif
#ifndef FAKE_NO_VERSION
extern "C" __declspec(dllexport) int32_t WINAPI UnzipLibraryVersion() { return 100; }
#endif

#endif
