#include "tools/zip_archiver.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "services/files.h"
#include "tools/zip/zip_records.h"
#include "ui/messages.h"

namespace {

constexpr uint32_t LocalHeaderSignature = 0x04034B50;
constexpr uint32_t CentralHeaderSignature = 0x02014B50;
constexpr uint32_t EndRecordSignature = 0x06054B50;
constexpr int LocalHeaderSize = 26;  // after the signature
constexpr int EndRecordSize = 22;
constexpr int SearchLimit = 60000;   // bytes that may start a signature, over one whole reading
constexpr int64_t SelfExtractorSize = 14000;
constexpr uint16_t FlagUtf8 = 0x0800;
constexpr size_t MaxTextLength = ZipTextBufferSize - 1;
constexpr size_t MaxPasswordLength = ZipPasswordBufferSize - 1;

constexpr const char* FatalText = "Erreur fatale dans la bibliothèque ZIP : opération abandonnée.";
constexpr const char* NoArchiveText = "Erreur : aucune archive indiquée.";

void ShowError(const std::string& text) { ShowMessageBox(text, MessageKind::Error, MessageButtons::Ok); }

// ---- the libraries ----------------------------------------------------------------------

// One library, shared by every component of the process.
struct Library {
  const char* file;
  const char* shortName;
  const char* executeName;
  const char* versionName;
  HMODULE handle = nullptr;
  FARPROC execute = nullptr;
  FARPROC version = nullptr;
  // A handler may free the library from inside one of its own calls: the
  // code it would unmap is still running, so the freeing waits for the call.
  int callsRunning = 0;
  bool freeWhenIdle = false;
};

Library ZipLibrary{"PVZIP.DLL", "PVZIP", "ZipExecute", "ZipLibraryVersion"};
Library UnzipLibrary{"PVUNZIP.DLL", "PVUNZIP", "UnzipExecute", "UnzipLibraryVersion"};

// Neither a missing diskette nor a fault of the library's start-up code may
// open a system box while a library is loaded or freed.
class QuietErrorMode {
 public:
  QuietErrorMode() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX); }
  ~QuietErrorMode() { SetErrorMode(0); }
};

void Load(Library& library, bool trace) {
  // A second load would take a second reference, which one freeing would
  // then leave behind.
  if (library.handle) return;
  QuietErrorMode quiet;
  HMODULE handle = LoadLibraryA(library.file);
  if (reinterpret_cast<uintptr_t>(handle) <= 32) {
    ShowError(std::string(library.file) + " est introuvable.");
    return;
  }
  library.handle = handle;
  if (trace)
    ShowMessageBox(std::string("Bibliothèque ") + library.shortName + " chargée.", MessageKind::Information,
                   MessageButtons::Ok);
  library.execute = GetProcAddress(handle, library.executeName);
  library.version = GetProcAddress(handle, library.versionName);
  if (!library.execute)
    ShowError(std::string("La fonction ") + library.executeName + " est absente de " + library.file + ".");
  if (!library.version)
    ShowError(std::string("La fonction ") + library.versionName + " est absente de " + library.file + ".");
}

void Free(Library& library) {
  if (library.callsRunning > 0) {
    library.freeWhenIdle = true;
    return;
  }
  library.freeWhenIdle = false;
  if (!library.handle) return;
  QuietErrorMode quiet;
  FreeLibrary(library.handle);
  library.handle = nullptr;
  library.execute = library.version = nullptr;
}

// ---- a library call that may fault ------------------------------------------------------

// A processor fault or a raised exception in a library (or in a handler
// called from it) must not end the program: the last-chance filter takes
// the thread back to where the call began, abandoning the library's frames.
// Exceptions the library handles itself never reach the filter.
struct Guard {
  CONTEXT resume;
  Guard* outer;
  DWORD thread;
  volatile bool failed;
};

Guard* volatile InnermostGuard = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER OuterFilter = nullptr;

LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS* exception) {
  Guard* guard = InnermostGuard;
  if (guard && guard->thread == GetCurrentThreadId()) {
    guard->failed = true;
    RtlRestoreContext(&guard->resume, nullptr);
  }
  return OuterFilter ? OuterFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

using Thunk = int32_t (*)(FARPROC entry, void* request);

// The captured context is resumed as a second return from
// RtlCaptureContext: all that is read afterwards lives in `guard`.
[[gnu::noinline]] bool CallGuarded(Thunk thunk, FARPROC entry, void* request, int32_t* result) {
  Guard guard;
  guard.outer = InnermostGuard;
  guard.thread = GetCurrentThreadId();
  guard.failed = false;
  if (!guard.outer) OuterFilter = SetUnhandledExceptionFilter(LastChanceFilter);
  InnermostGuard = &guard;
  RtlCaptureContext(&guard.resume);
  if (!guard.failed) {
    try {
      *result = thunk(entry, request);
    } catch (...) {
      guard.failed = true;
    }
  }
  InnermostGuard = guard.outer;
  if (!guard.outer) SetUnhandledExceptionFilter(OuterFilter);
  return !guard.failed;
}

int32_t CallZip(FARPROC entry, void* request) {
  return reinterpret_cast<ZipExecuteFunction>(reinterpret_cast<void*>(entry))(static_cast<ZipRequest*>(request));
}

int32_t CallUnzip(FARPROC entry, void* request) {
  return reinterpret_cast<UnzipExecuteFunction>(reinterpret_cast<void*>(entry))(static_cast<UnzipRequest*>(request));
}

// ---- the callback -----------------------------------------------------------------------

// A component inside a library call; the callback answers only for these.
struct RunningCall {
  TZipArchiver* component;
  bool handlerFailed = false;
};

std::vector<RunningCall*> RunningCalls;

RunningCall* CallOf(const void* component) {
  for (auto it = RunningCalls.rbegin(); it != RunningCalls.rend(); ++it)
    if ((*it)->component == component) return *it;
  return nullptr;
}

std::string WithoutLineEnd(std::string text) {
  for (int i = 0; i < 2 && !text.empty() && (text.back() == '\r' || text.back() == '\n'); ++i) text.pop_back();
  return text;
}

void Dispatch(TZipArchiver& component, const ZipCallbackRecord& record) {
  // The text comes from the library: it is not trusted to end.
  const std::string text(record.Text, strnlen(record.Text, ZipCallbackTextSize));
  // Copies: a handler may replace the handler that is running.
  if (record.Action >= ZipActionNewFile && record.Action <= ZipActionEndBatch) {
    auto onProgress = component.OnProgress;
    if (!onProgress) return;
    if (record.Action == ZipActionNewFile)
      onProgress(component, NewFile, text, record.FileSize);
    else
      onProgress(component, record.Action == ZipActionProgress ? ProgressUpdate : EndOfBatch, " ", 0);
  } else if (record.Action >= ZipActionMessage) {
    auto onMessage = component.OnMessage;
    if (onMessage) onMessage(component, record.ErrorCode, WithoutLineEnd(text));
  }
}

int32_t WINAPI Callback(ZipCallbackRecord* record) {
  if (!record) return 0;
  RunningCall* call = CallOf(record->Component);
  if (!call) return 0;
  // An exception must not unwind through the library's frames: it stops
  // the library, and the operation reports it once the library returns.
  try {
    Dispatch(*call->component, *record);
  } catch (...) {
    call->handlerFailed = true;
  }
  return call->handlerFailed || call->component->Cancel ? 1 : 0;
}

// Calls the library's entry point; its answer, or 0 when it has none or
// failed (after the fatal-error message).
int32_t Execute(Library& library, TZipArchiver& component, Thunk thunk, void* request) {
  if (!library.execute) {
    ShowError(FatalText);
    return 0;
  }
  RunningCall call{&component};
  RunningCalls.push_back(&call);
  ++library.callsRunning;
  int32_t result = 0;
  const bool returned = CallGuarded(thunk, library.execute, request, &result);
  RunningCalls.erase(std::find(RunningCalls.begin(), RunningCalls.end(), &call));
  if (--library.callsRunning == 0 && library.freeWhenIdle) Free(library);
  if (!returned || call.handlerFailed) ShowError(FatalText);
  return returned ? result : 0;
}

// ---- the texts handed to the libraries --------------------------------------------------

// Zero-filled buffers of the sizes the libraries expect, alive for one call.
class TextBuffers {
 public:
  TextBuffers(const std::string& archive, const std::string& password, const std::vector<std::string>& patterns)
      : archive_(Copy(archive, ZipTextBufferSize)), password_(Copy(password, ZipPasswordBufferSize)) {
    for (const std::string& pattern : patterns) patterns_.push_back(Copy(pattern, ZipTextBufferSize));
  }
  // The texts, and what every request holds alike: who asks, the
  // structure's version and check, the callback and the trace switch.
  template <class Request>
  void FillRequest(Request& request, HWND owner, TZipArchiver* component, bool trace) {
    request.Owner = owner;
    request.Component = component;
    request.Version = ZipStructureVersion;
    request.Callback = Callback;
    request.Trace = trace ? 1 : 0;
    request.Password = password_.data();
    request.ArchiveName = archive_.data();
    request.Check = ZipStructureCheck;
    request.PatternCount = static_cast<int32_t>(patterns_.size());
    for (size_t i = 0; i < patterns_.size(); ++i) request.Patterns[i] = patterns_[i].data();
  }

 private:
  static std::vector<char> Copy(const std::string& text, size_t size) {
    std::vector<char> buffer(size, '\0');
    std::memcpy(buffer.data(), text.data(), std::min(text.size(), size - 1));
    return buffer;
  }
  std::vector<char> archive_, password_;
  std::vector<std::vector<char>> patterns_;
};

// A name cut to its buffer could name another file, which a delete or an
// extraction would then act on: too long a name refuses the operation.
bool TextsFit(const std::string& archive, const std::vector<std::string>& patterns) {
  if (patterns.size() > static_cast<size_t>(ZipMaxPatterns)) {
    ShowError("Erreur : plus de " + std::to_string(ZipMaxPatterns) + " fichiers indiqués.");
    return false;
  }
  if (archive.size() > MaxTextLength) {
    ShowError("Erreur : le nom d'archive " + archive + " dépasse 255 caractères.");
    return false;
  }
  for (const std::string& pattern : patterns)
    if (pattern.size() > MaxTextLength) {
      ShowError("Erreur : le nom " + pattern + " dépasse 255 caractères.");
      return false;
    }
  return true;
}

// Clears a busy flag on every way out.
class BusyFlag {
 public:
  explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~BusyFlag() { flag_ = false; }
  BusyFlag(const BusyFlag&) = delete;
  BusyFlag& operator=(const BusyFlag&) = delete;

 private:
  bool& flag_;
};

// ---- reading an archive -----------------------------------------------------------------

// The archive read through a buffer: the signature search goes byte by byte.
class ArchiveReader {
 public:
  explicit ArchiveReader(HANDLE file) : file_(file) {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size)) size_ = size.QuadPart;
  }
  int64_t Size() const { return size_; }
  int64_t Position() const { return position_; }
  void SetPosition(int64_t position) { position_ = position; }

  // Answers how many bytes came: fewer at the end of the file.
  size_t Read(void* data, size_t count) {
    auto* out = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < count) {
      if (position_ < bufferStart_ || position_ >= bufferStart_ + static_cast<int64_t>(bufferLength_))
        if (!Fill()) break;
      const size_t offset = static_cast<size_t>(position_ - bufferStart_);
      const size_t n = std::min(count - done, bufferLength_ - offset);
      std::memcpy(out + done, buffer_.data() + offset, n);
      done += n;
      position_ += static_cast<int64_t>(n);
    }
    return done;
  }
  bool ReadByte(uint8_t& byte) { return Read(&byte, 1) == 1; }
  bool ReadSignature(uint32_t& signature) {
    uint8_t b[4];
    if (Read(b, 4) != 4) return false;
    signature = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  bool Skip(int64_t count) {
    if (count < 0 || position_ + count > size_) return false;
    position_ += count;
    return true;
  }

 private:
  bool Fill() {
    bufferStart_ = position_;
    bufferLength_ = 0;
    if (position_ >= size_) return false;
    LARGE_INTEGER at{};
    at.QuadPart = position_;
    DWORD got = 0;
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr))
      return false;
    bufferLength_ = got;
    return got > 0;
  }

  HANDLE file_;
  int64_t size_ = 0, position_ = 0, bufferStart_ = 0;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1 << 16);
  size_t bufferLength_ = 0;
};

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Long(const uint8_t* p) { return Word(p) | (static_cast<uint32_t>(Word(p + 2)) << 16); }

ArchiveEntry EntryOf(const uint8_t* h) {
  ArchiveEntry e;
  e.VersionNeeded = Word(h);
  e.Flags = Word(h + 2);
  e.Method = Word(h + 4);
  e.ModificationTime = Word(h + 6);
  e.ModificationDate = Word(h + 8);
  e.Crc32 = Long(h + 10);
  e.CompressedSize = Long(h + 14);
  e.UncompressedSize = Long(h + 18);
  e.FileNameLength = Word(h + 22);
  e.ExtraFieldLength = Word(h + 24);
  return e;
}

// Names are IBM 437 unless the entry says UTF-8; the program shows CP1252.
std::string NameInCp1252(const std::string& raw, bool utf8) {
  if (std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return raw;
  const UINT codePage = utf8 ? CP_UTF8 : 437;
  const int wide = MultiByteToWideChar(codePage, 0, raw.data(), static_cast<int>(raw.size()), nullptr, 0);
  if (wide <= 0) return raw;
  std::wstring text(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(codePage, 0, raw.data(), static_cast<int>(raw.size()), text.data(), wide);
  const int narrow = WideCharToMultiByte(1252, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return raw;
  std::string name(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(1252, 0, text.data(), wide, name.data(), narrow, nullptr, nullptr);
  return name;
}

bool IsSelfExtractor(const std::string& name) {
  const size_t dot = name.rfind('.');
  const size_t separator = name.find_last_of("\\/:");
  if (dot == std::string::npos || (separator != std::string::npos && separator > dot)) return false;
  std::string extension = name.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return extension == ".EXE";
}

// Finds the next "PK" 3 4 and leaves the reader after it; false when the
// file ends first or when `examined` reaches the limit. A byte that ends an
// attempt starts the next one when it is a "P", so that a "P" just before
// a signature does not hide it.
bool FindLocalHeader(ArchiveReader& in, int& examined, int64_t& found) {
  uint8_t b = 0;
  bool pending = false;
  for (;;) {
    if (examined == SearchLimit) return false;
    if (!pending && !in.ReadByte(b)) return false;
    ++examined;
    pending = false;
    if (b != 'P') continue;
    const int64_t at = in.Position() - 1;
    if (!in.ReadByte(b)) return false;
    if (b == 'K') {
      if (!in.ReadByte(b)) return false;
      if (b == 3) {
        if (!in.ReadByte(b)) return false;
        if (b == 4) {
          found = at;
          return true;
        }
      }
    }
    pending = b == 'P';
  }
}

}  // namespace

// ---- the component ----------------------------------------------------------------------

TZipArchiver::TZipArchiver(HWND owner) : owner_(owner) {}

void TZipArchiver::SetArchiveName(const std::string& name) {
  archiveName_ = name;
  ReadContents();
}

void TZipArchiver::LoadZipLibrary() { Load(ZipLibrary, Trace); }
void TZipArchiver::LoadUnzipLibrary() { Load(UnzipLibrary, Trace); }
void TZipArchiver::FreeZipLibrary() { Free(ZipLibrary); }
void TZipArchiver::FreeUnzipLibrary() { Free(UnzipLibrary); }
bool TZipArchiver::ZipLibraryLoaded() { return ZipLibrary.handle != nullptr; }
bool TZipArchiver::UnzipLibraryLoaded() { return UnzipLibrary.handle != nullptr; }

void TZipArchiver::AddFiles() { ZipOperation(false); }
void TZipArchiver::DeleteFiles() { ZipOperation(true); }

void TZipArchiver::ZipOperation(bool deleting) {
  if (FileSpecs.empty()) {
    ShowError(deleting ? "Erreur : aucun fichier à supprimer de l'archive." : "Erreur : aucun fichier à archiver.");
    return;
  }
  if (deleting ? !FileExists(archiveName_) : archiveName_.empty()) {
    ShowError(NoArchiveText);
    return;
  }
  if (Zipping || !TextsFit(archiveName_, FileSpecs)) return;
  {
    BusyFlag busy(Zipping);
    Cancel = false;
    ProcessedCount = 0;
    const bool loadedHere = !ZipLibrary.handle;
    if (loadedHere) {
      LoadZipLibrary();
      if (!ZipLibrary.handle) return;
    }
    {
      TextBuffers texts(archiveName_, Password.substr(0, MaxPasswordLength), FileSpecs);
      auto request = std::make_unique<ZipRequest>();
      ZipRequest& r = *request;
      auto has = [this](TAddSwitch s) { return AddSwitches.count(s) ? 1 : 0; };
      texts.FillRequest(r, owner_, this, Trace);
      r.Encrypt = deleting ? 0 : has(asEncrypt);
      r.HiddenFiles = has(asHiddenFiles);
      r.NoDirectoryEntries = 1;
      r.Verbose = Verbose || Trace ? 1 : 0;
      r.Quiet = 1;
      r.Level = CompressionLevel;
      r.JunkDirectoryNames = deleting || has(asDirNames) ? 0 : 1;
      r.Recurse = deleting ? 0 : has(asRecurseDirs);
      r.Grow = deleting ? 0 : 1;
      r.DosNames = has(asDosNames);
      r.Move = deleting ? 0 : has(asMove);
      r.DeleteEntries = deleting ? 1 : 0;
      r.Update = deleting ? 0 : has(asUpdate);
      r.Freshen = deleting ? 0 : has(asFreshen) && !has(asUpdate);
      r.ArchiveTime = has(asArchiveTime);
      ProcessedCount = Execute(ZipLibrary, *this, CallZip, request.get());
      FileSpecs.clear();
    }
    if (loadedHere) FreeZipLibrary();
    Cancel = false;
  }
  if (ProcessedCount > 0) ReadContents();
}

void TZipArchiver::ExtractFiles() {
  if (!FileExists(archiveName_)) {
    ShowError(NoArchiveText);
    return;
  }
  if (Unzipping || !TextsFit(archiveName_, FileSpecs)) return;
  // The library extracts into the current directory: a directory that is
  // not there would send the files, and their overwriting, elsewhere.
  if (!ExtractDir.empty() && !DirectoryExists(ExtractDir)) {
    ShowError("Erreur : le répertoire d'extraction " + ExtractDir + " est introuvable.");
    return;
  }
  BusyFlag busy(Unzipping);
  Cancel = false;
  ProcessedCount = 0;
  const bool loadedHere = !UnzipLibrary.handle;
  if (loadedHere) {
    LoadUnzipLibrary();
    if (!UnzipLibrary.handle) return;
  }
  if (DirectoryExists(ExtractDir)) SetCurrentDirectoryA(ExtractDir.c_str());
  {
    TextBuffers texts(archiveName_, Password.substr(0, MaxPasswordLength), FileSpecs);
    auto request = std::make_unique<UnzipRequest>();
    UnzipRequest& r = *request;
    auto has = [this](TExtractSwitch s) { return ExtractSwitches.count(s) ? 1 : 0; };
    texts.FillRequest(r, owner_, this, Trace);
    r.Test = has(esTest);
    r.Quiet = 1;
    r.Verbose = Verbose || Trace ? 1 : 0;
    r.Update = has(esUpdate);
    r.Freshen = has(esFreshen) && !has(esUpdate);
    r.DirectoryNames = has(esDirNames);
    r.Overwrite = has(esOverwrite);
    ProcessedCount = Execute(UnzipLibrary, *this, CallUnzip, request.get());
    FileSpecs.clear();
  }
  if (loadedHere) FreeUnzipLibrary();
  Cancel = false;
}

void TZipArchiver::ReadContents() {
  ArchiveEntries.clear();
  auto entriesRead = [this] {
    if (auto onEntriesRead = OnEntriesRead) onEntriesRead(*this);
  };
  if (!FileExists(archiveName_)) {
    entriesRead();
    return;
  }
  // Others may read the archive meanwhile, not change it.
  HANDLE file = CreateFileA(archiveName_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    entriesRead();
    throw EStreamError("Erreur de lecture de l'archive.");
  }
  try {
    ReadEntries(file);
  } catch (...) {
    CloseHandle(file);
    entriesRead();
    throw;
  }
  CloseHandle(file);
  entriesRead();
}

void TZipArchiver::ReadEntries(HANDLE file) {
  ArchiveReader in(file);
  in.SetPosition(IsSelfExtractor(archiveName_) ? SelfExtractorSize : 0);
  FirstEntryOffset = 0;
  int examined = 0;
  for (;;) {
    if (!FindLocalHeader(in, examined, FirstEntryOffset)) {
      ShowError("Aucune entrée valide dans l'archive.");
      return;
    }
    // Every length below comes from the file: an entry is taken only when
    // all its bytes, and an end record after them, are really there.
    uint32_t signature = LocalHeaderSignature;
    bool searchAgain = false;
    while (!searchAgain) {
      if (signature == CentralHeaderSignature || signature == EndRecordSignature) return;
      if (signature == LocalHeaderSignature) {
        uint8_t header[LocalHeaderSize];
        ArchiveEntry entry;
        std::string rawName;
        bool complete = in.Read(header, LocalHeaderSize) == LocalHeaderSize;
        if (complete) {
          entry = EntryOf(header);
          rawName.assign(entry.FileNameLength, '\0');
          complete = in.Read(rawName.data(), rawName.size()) == rawName.size();
        }
        if (!complete) {
          if (!ArchiveEntries.empty()) throw EStreamError("Erreur 2 de lecture de l'archive.");
          searchAgain = true;
          continue;
        }
        const int64_t end = in.Position() + entry.ExtraFieldLength + static_cast<int64_t>(entry.CompressedSize);
        if (end > in.Size() - EndRecordSize) {
          if (!ArchiveEntries.empty()) throw EStreamError("Erreur 3 de lecture de l'archive.");
          searchAgain = true;
          continue;
        }
        if (!in.Skip(entry.ExtraFieldLength)) throw EStreamError("Erreur 4 de lecture de l'archive.");
        if (!in.Skip(entry.CompressedSize)) throw EStreamError("Erreur 5 de lecture de l'archive.");
        entry.FileName = NameInCp1252(rawName, entry.Flags & FlagUtf8);
        ArchiveEntries.push_back(std::move(entry));
      }
      if (!in.ReadSignature(signature)) throw EStreamError("Erreur de lecture de l'archive.");
    }
  }
}
