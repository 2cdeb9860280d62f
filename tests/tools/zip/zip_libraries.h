// PVZIP.DLL and PVUNZIP.DLL driven as the archive component drives them:
// loaded by name, handed requests whose texts live in buffers of their
// own, answering a callback that records everything it is sent.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/zip/zip_container.h"
#include "tools/zip/zip_records.h"

using Strings = std::vector<std::string>;

struct Event {
  int32_t action;
  int32_t code;
  int32_t size;
  std::string text;
};

// The component's side of the callback. The request's component field
// points at the recorder, so each record must bring it back.
class Recorder {
 public:
  static inline const HWND Owner = reinterpret_cast<HWND>(0x5A17);

  std::vector<Event> events;
  int foreignRecords = 0;  // records with another owner or component
  int callsAfterStop = 0;
  // Answers 1 at the n-th record of that action (0: never).
  int32_t stopAction = 0;
  int stopAt = 0;

  static int32_t WINAPI Callback(ZipCallbackRecord* record);
  bool HasMessage(int32_t code) const;
  Strings NewFiles() const;  // sorted
  std::string Dump() const;  // for failure messages

 private:
  bool stopped_ = false;
  int seen_ = 0;
};

using ZipSetting = std::function<void(ZipRequest&)>;
using UnzipSetting = std::function<void(UnzipRequest&)>;

// Adds the patterns to the archive as the backup dialog asks it
// (level 9, hidden files, directory names dropped, grow); `set` changes the
// request before the call.
int32_t ZipAdd(const std::string& archive, const Strings& patterns, Recorder* recorder, const ZipSetting& set = {});
// Deletes the entries the patterns name, as the component asks it.
int32_t ZipDelete(const std::string& archive, const Strings& patterns, Recorder* recorder, const ZipSetting& set = {});
// Extracts (overwrite on, directory names dropped) into `folder`, made the
// current directory for the call as the component does.
int32_t Unzip(const std::string& archive, const std::string& folder, const Strings& patterns, Recorder* recorder,
              const UnzipSetting& set = {});

// The central directory, as the libraries themselves read it.
std::vector<zip::Entry> EntriesOf(const std::string& archive);
Strings EntryNames(const std::string& archive);  // sorted
uint32_t CrcOf(const std::string& bytes);

// An archive of stored entries with names and flags exactly as given: the
// names no writer should make, the flags the libraries must refuse.
struct RawEntry {
  std::string rawName;
  std::string data;
  uint16_t flags = 0;
};
void WriteRawArchive(const std::string& path, const std::vector<RawEntry>& entries);

// The names in a folder (files and folders), sorted.
Strings NamesIn(const std::string& folder);
// Bytes that deflate cannot shrink; the same key gives the same bytes.
std::string Noise(size_t size, uint32_t key);
uint32_t DosTimeOfFile(const std::string& path);
