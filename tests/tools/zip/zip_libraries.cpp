#include "zip_libraries.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

#include "support/wine_fixture.h"
#include "tools/zip/zip_files.h"

namespace {

// The libraries as the program finds them: by name, from the folder the
// build puts beside the program.
struct Libraries {
  ZipExecuteFunction zip = nullptr;
  UnzipExecuteFunction unzip = nullptr;

  Libraries() {
    std::string folder = std::string("Z:") + PV_ZIP_LIBRARY_DIR;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    SetDllDirectoryA(folder.c_str());
    HMODULE zipLibrary = LoadLibraryA("PVZIP.DLL");
    HMODULE unzipLibrary = LoadLibraryA("PVUNZIP.DLL");
    if (!zipLibrary || !unzipLibrary) throw std::runtime_error("PVZIP.DLL or PVUNZIP.DLL not found in " + folder);
    zip = reinterpret_cast<ZipExecuteFunction>(reinterpret_cast<void*>(GetProcAddress(zipLibrary, "ZipExecute")));
    unzip = reinterpret_cast<UnzipExecuteFunction>(reinterpret_cast<void*>(GetProcAddress(unzipLibrary, "UnzipExecute")));
    if (!zip || !unzip || !GetProcAddress(zipLibrary, "ZipLibraryVersion") ||
        !GetProcAddress(unzipLibrary, "UnzipLibraryVersion"))
      throw std::runtime_error("an entry point is missing");
  }
};

const Libraries& Loaded() {
  static const Libraries libraries;
  return libraries;
}

// The buffers the component allocates for one call.
struct Texts {
  std::array<char, ZipTextBufferSize> archive{};
  std::array<char, ZipPasswordBufferSize> password{};
  std::vector<std::array<char, ZipTextBufferSize>> patterns;

  Texts(const std::string& archiveName, const Strings& patternTexts) : patterns(patternTexts.size()) {
    archiveName.copy(archive.data(), archive.size() - 1);
    for (size_t i = 0; i < patternTexts.size(); ++i) patternTexts[i].copy(patterns[i].data(), patterns[i].size() - 1);
  }
};

template <class Request>
void FillCommon(Request& r, Texts& texts, Recorder* recorder) {
  r.Owner = Recorder::Owner;
  r.Component = recorder;
  r.Version = ZipStructureVersion;
  r.Callback = recorder ? &Recorder::Callback : nullptr;
  r.Password = texts.password.data();
  r.Quiet = 1;
  r.PatternCount = static_cast<int32_t>(texts.patterns.size());
  r.ArchiveName = texts.archive.data();
  r.Check = ZipStructureCheck;
  for (size_t i = 0; i < texts.patterns.size(); ++i) r.Patterns[i] = texts.patterns[i].data();
}

int32_t CallZip(const std::string& archive, const Strings& patterns, Recorder* recorder, bool deleting,
                const ZipSetting& set) {
  Texts texts(archive, patterns);
  auto request = std::make_unique<ZipRequest>();
  ZipRequest& r = *request;
  FillCommon(r, texts, recorder);
  r.NoDirectoryEntries = 1;
  r.Level = 9;
  r.HiddenFiles = deleting ? 0 : 1;
  r.JunkDirectoryNames = deleting ? 0 : 1;
  r.Grow = deleting ? 0 : 1;
  r.DeleteEntries = deleting ? 1 : 0;
  if (set) set(r);
  return Loaded().zip(&r);
}

}  // namespace

int32_t WINAPI Recorder::Callback(ZipCallbackRecord* record) {
  auto* self = static_cast<Recorder*>(record->Component);
  if (record->Owner != Owner) ++self->foreignRecords;
  if (self->stopped_) ++self->callsAfterStop;
  self->events.push_back({record->Action, record->ErrorCode, record->FileSize, record->Text});
  if (record->Action == self->stopAction && ++self->seen_ == self->stopAt) self->stopped_ = true;
  return self->stopped_ ? 1 : 0;
}

bool Recorder::HasMessage(int32_t code) const {
  return std::any_of(events.begin(), events.end(),
                     [&](const Event& e) { return e.action == ZipActionMessage && e.code == code; });
}

Strings Recorder::NewFiles() const {
  Strings names;
  for (const Event& e : events)
    if (e.action == ZipActionNewFile) names.push_back(e.text);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Recorder::Dump() const {
  std::string text;
  for (const Event& e : events)
    if (e.action != ZipActionProgress)
      text += "[" + std::to_string(e.action) + "/" + std::to_string(e.code) + "] " + e.text + "\n";
  return text;
}

int32_t ZipAdd(const std::string& archive, const Strings& patterns, Recorder* recorder, const ZipSetting& set) {
  return CallZip(archive, patterns, recorder, false, set);
}

int32_t ZipDelete(const std::string& archive, const Strings& patterns, Recorder* recorder, const ZipSetting& set) {
  return CallZip(archive, patterns, recorder, true, set);
}

int32_t Unzip(const std::string& archive, const std::string& folder, const Strings& patterns, Recorder* recorder,
              const UnzipSetting& set) {
  Texts texts(archive, patterns);
  auto request = std::make_unique<UnzipRequest>();
  UnzipRequest& r = *request;
  FillCommon(r, texts, recorder);
  r.Overwrite = 1;
  if (set) set(r);
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(folder.c_str());
  const int32_t done = Loaded().unzip(&r);
  SetCurrentDirectoryA(previous);
  return done;
}

std::vector<zip::Entry> EntriesOf(const std::string& archive) {
  zip::ArchiveFile file(archive);
  return zip::ReadDirectory(file, archive).entries;
}

Strings EntryNames(const std::string& archive) {
  Strings names;
  for (const zip::Entry& e : EntriesOf(archive)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

uint32_t CrcOf(const std::string& bytes) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void WriteRawArchive(const std::string& path, const std::vector<RawEntry>& raw) {
  std::string archive, central;
  for (const RawEntry& r : raw) {
    zip::Entry e;
    e.rawName = r.rawName;
    e.flags = r.flags;
    e.method = zip::MethodStored;
    e.versionNeeded = zip::VersionNeededStored;
    e.SetDosTime(PackDosTime(1998, 12, 5, 14, 3, 6));
    e.crc = CrcOf(r.data);
    e.size = e.compressedSize = static_cast<uint32_t>(r.data.size());
    e.headerOffset = archive.size();
    archive += zip::LocalHeader(e) + r.data;
    central += zip::CentralHeader(e);
  }
  const size_t centralOffset = archive.size();
  archive += central + zip::EndRecord(raw.size(), central.size(), centralOffset, "");
  WriteFixtureFile(path, archive, PackDosTime(1998, 12, 5, 14, 3, 6));
}

Strings NamesIn(const std::string& folder) {
  Strings names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &data));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

uint32_t DosTimeOfFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return zip::DosTimeOf(data.ftLastWriteTime);
}

std::string Noise(size_t size, uint32_t key) {
  std::string bytes(size, '\0');
  uint32_t x = key * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>(x >> 7);
  }
  return bytes;
}
