// PVZIP.DLL: adds files to a ZIP archive and deletes entries from one, on
// the request the archive component fills (ZipRequest).
//
// An archive is never changed in place. The new archive is written whole
// to a temporary file in the archive's own folder ("pvz" + hex + ".tmp"),
// flushed, and only then renamed over the old one: a full disk, an
// unreadable file, a stop asked by the callback or any other failure
// leaves the old archive exactly as it was. Files to move are deleted only
// after that rename.
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "tools/zip/zip_container.h"
#include "tools/zip/zip_files.h"
#include "tools/zip/zip_records.h"
#include "tools/zip/zip_report.h"
#include "tools/zip/zip_patterns.h"
#include "tools/zip/zip_streams.h"

namespace {

using namespace zip;

constexpr DWORD KeptDosAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// A file chosen for the archive.
struct Candidate {
  std::string path;       // as the pattern led to it
  std::string entryName;  // CP1252, "/" between directories
  uint64_t size = 0;
  uint32_t dosTime = 0;
  DWORD attributes = 0;
};

// One entry of the new archive, in order: an old entry copied unchanged, or
// a file, which then takes the old entry's place when it had one.
struct Slot {
  const Entry* old = nullptr;
  const Candidate* file = nullptr;
};

// What went into the new archive.
struct Written {
  std::vector<Entry> entries;
  std::vector<const Candidate*> added;  // the files that really went in
};

class ZipJob {
 public:
  ZipJob(const ZipRequest& request, Reporter& report)
      : r_(request), report_(report), archive_(FullPathOf(TextOfBuffer(request.ArchiveName, ZipTextBufferSize))) {}
  int32_t Run();

 private:
  void ReadOldArchive();
  int32_t Delete();
  int32_t Add();

  std::vector<Candidate> Gather();
  void GatherPattern(const std::string& pattern, std::vector<Candidate>& found);
  void Walk(const std::string& folder, const std::string& pattern, std::vector<Candidate>& found);
  bool Taken(DWORD attributes) const;
  std::string EntryNameOf(const std::string& path) const;
  const Entry* OldEntryNamed(const std::string& name) const;
  bool Wanted(const Candidate& file) const;

  // Writes the slots into a new archive that replaces the old one, unless
  // no file could be added (and nothing was deleted): then it stays.
  Written WriteArchive(const std::vector<Slot>& slots, bool deleting);
  void CopyEntry(const Entry& old, OutputFile& out, std::vector<Entry>& written);
  bool AddFile(const Candidate& file, OutputFile& out, std::vector<Entry>& written);
  void WriteCentralDirectory(const std::vector<Entry>& written, OutputFile& out);
  void SetArchiveTime(const std::vector<Entry>& written);
  void MoveFiles(const std::vector<const Candidate*>& added);

  int Level() const { return std::clamp(r_.Level, 0, 9); }
  void Step() { report_.Step(); }

  const ZipRequest& r_;
  Reporter& report_;
  std::string archive_;
  std::unique_ptr<ArchiveFile> source_;
  Directory old_;
  std::map<std::string, size_t> oldIndex_;  // folded entry name to its place in old_
};

int32_t ZipJob::Run() {
  if (r_.Trace) report_.Message(0, "PVZIP.DLL version " + std::to_string(ZipLibraryVersionNumber) + ".");
  const bool exists = FileExists(archive_);
  if (r_.DeleteEntries && !exists) throw Failure{ZipErrorArchive, "Archive introuvable : " + archive_ + "."};
  if (exists && (r_.Grow || r_.DeleteEntries)) ReadOldArchive();
  const int32_t done = r_.DeleteEntries ? Delete() : Add();
  if (!r_.Quiet) report_.Message(0, std::to_string(done) + " fichier(s) traité(s).");
  return done;
}

void ZipJob::ReadOldArchive() {
  source_ = std::make_unique<ArchiveFile>(archive_);
  old_ = ReadDirectory(*source_, archive_);
  for (size_t i = 0; i < old_.entries.size(); ++i) oldIndex_.emplace(FoldedName(old_.entries[i].name), i);
}

// ---- deleting ----------------------------------------------------------------------------

int32_t ZipJob::Delete() {
  const std::vector<std::string> patterns = PatternsOf({r_.Version, r_.Check, r_.PatternCount, r_.ArchiveName, r_.Patterns});
  std::vector<Slot> slots;
  int32_t deleted = 0;
  for (const Entry& e : old_.entries) {
    const bool named = std::any_of(patterns.begin(), patterns.end(),
                                   [&](const std::string& s) { return PatternSelectsEntry(s, e.name, true); });
    if (!named) {
      slots.push_back({&e, nullptr});
      continue;
    }
    report_.NewFile(e.name, e.size);
    report_.Detail("Suppression de " + e.name + ".");
    ++deleted;
  }
  if (deleted == 0) {
    report_.Message(0, "Aucune entrée de l'archive ne correspond aux fichiers indiqués.");
    return 0;
  }
  WriteArchive(slots, true);
  return deleted;
}

// ---- adding ------------------------------------------------------------------------------

int32_t ZipJob::Add() {
  const std::vector<Candidate> files = Gather();
  std::vector<Slot> slots;
  for (const Entry& e : old_.entries) slots.push_back({&e, nullptr});
  bool any = false;
  for (const Candidate& file : files) {
    if (!Wanted(file)) continue;
    any = true;
    const auto old = oldIndex_.find(FoldedName(file.entryName));
    if (old != oldIndex_.end()) {
      slots[old->second].file = &file;
    } else {
      slots.push_back({nullptr, &file});
    }
  }
  if (!any) {
    report_.Message(0, "Aucun fichier à ajouter à l'archive.");
    return 0;
  }
  const Written written = WriteArchive(slots, false);
  if (written.added.empty()) return 0;
  if (r_.ArchiveTime) SetArchiveTime(written.entries);
  if (r_.Move) MoveFiles(written.added);
  return static_cast<int32_t>(written.added.size());
}

std::vector<Candidate> ZipJob::Gather() {
  std::vector<Candidate> found;
  for (const std::string& pattern : PatternsOf({r_.Version, r_.Check, r_.PatternCount, r_.ArchiveName, r_.Patterns})) {
    const size_t before = found.size();
    GatherPattern(pattern, found);
    if (found.size() == before) report_.Message(ZipErrorRead, "Aucun fichier ne correspond à " + pattern + ".");
  }
  // One entry per name: the first file found under it.
  std::vector<Candidate> unique;
  std::map<std::string, bool> seen;
  for (Candidate& c : found) {
    if (!seen.emplace(FoldedName(c.entryName), true).second) {
      report_.Detail("Déjà pris sous le même nom, ignoré : " + c.path + ".");
      continue;
    }
    if (c.size > MaxSize) {
      report_.Message(ZipErrorUnsupported, "Fichier de 4 Go ou plus, non pris en charge : " + c.path + ".");
      continue;
    }
    unique.push_back(std::move(c));
  }
  return unique;
}

void ZipJob::GatherPattern(const std::string& pattern, std::vector<Candidate>& found) {
  const DWORD attributes = GetFileAttributesA(pattern.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    const bool ends = pattern.back() == '\\' || pattern.back() == '/';
    return Walk(ends ? pattern : pattern + "\\", "*", found);
  }
  const size_t cut = pattern.find_last_of("\\/:");
  const std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  Walk(folder, pattern.substr(cut == std::string::npos ? 0 : cut + 1), found);
}

void ZipJob::Walk(const std::string& folder, const std::string& pattern, std::vector<Candidate>& found) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> subfolders;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == ".." || !Taken(data.dwFileAttributes)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (r_.Recurse) subfolders.push_back(name);
      continue;
    }
    const std::string path = folder + name;
    if (!WildcardMatch(pattern, name) || SameName(FullPathOf(path), archive_)) continue;
    Candidate c;
    c.path = path;
    c.entryName = EntryNameOf(path);
    c.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    c.dosTime = DosTimeOf(data.ftLastWriteTime);
    c.attributes = data.dwFileAttributes & KeptDosAttributes;
    found.push_back(std::move(c));
  } while (FindNextFileA(search, &data));
  FindClose(search);
  for (const std::string& sub : subfolders) Walk(folder + sub + "\\", pattern, found);
}

bool ZipJob::Taken(DWORD attributes) const {
  return r_.HiddenFiles || !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

std::string ZipJob::EntryNameOf(const std::string& path) const {
  std::string named = path;
  if (r_.DosNames) {
    char shortPath[MAX_PATH * 2] = {};
    const DWORD n = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
    if (n > 0 && n < sizeof shortPath) named.assign(shortPath, n);
    for (char& c : named)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return r_.JunkDirectoryNames ? NamePart(named) : StoredPath(named);
}

const Entry* ZipJob::OldEntryNamed(const std::string& name) const {
  const auto found = oldIndex_.find(FoldedName(name));
  return found == oldIndex_.end() ? nullptr : &old_.entries[found->second];
}

bool ZipJob::Wanted(const Candidate& file) const {
  const Entry* old = OldEntryNamed(file.entryName);
  const bool newer = old && old->DosTime() < file.dosTime;
  if (r_.Update) return !old || newer;
  if (r_.Freshen) return newer;
  return true;
}

// ---- writing -----------------------------------------------------------------------------

Written ZipJob::WriteArchive(const std::vector<Slot>& slots, bool deleting) {
  TemporaryFile temp(FolderOf(archive_), "pvz");
  OutputFile& out = temp.Output();
  Written written;
  for (const Slot& slot : slots) {
    if (slot.file && AddFile(*slot.file, out, written.entries)) {
      written.added.push_back(slot.file);
    } else if (slot.old) {
      CopyEntry(*slot.old, out, written.entries);
    }
  }
  if (written.added.empty() && !deleting) return {};
  WriteCentralDirectory(written.entries, out);
  source_.reset();  // the old archive is closed before it is replaced
  temp.Commit(archive_);
  return written;
}

void ZipJob::CopyEntry(const Entry& old, OutputFile& out, std::vector<Entry>& written) {
  if (old.NeedsZip64()) throw Failure{ZipErrorUnsupported, "Entrée de 4 Go ou plus, non prise en charge : " + old.name + "."};
  const uint64_t start = DataStart(*source_, old_, old);
  Entry e = old;
  e.headerOffset = out.Position();
  out.Write(LocalHeader(e));
  CopyRaw(*source_, start, old.compressedSize, out, [this] { Step(); });
  if (e.flags & FlagDataDescriptor) out.Write(DataDescriptor(e));
  written.push_back(e);
}

bool ZipJob::AddFile(const Candidate& file, OutputFile& out, std::vector<Entry>& written) {
  const uint64_t start = out.Position();
  try {
    Handle input = OpenForReading(file.path);
    report_.NewFile(file.entryName, file.size);
    Entry e;
    e.name = file.entryName;
    e.rawName = EncodeName(file.entryName, e.flags);
    e.method = Level() > 0 ? MethodDeflated : MethodStored;
    e.versionNeeded = Level() > 0 ? VersionNeededDeflated : VersionNeededStored;
    e.SetDosTime(file.dosTime);
    e.externalAttributes = file.attributes;
    e.headerOffset = start;
    out.Write(LocalHeader(e));
    const Coded coded = CompressFile(input.Get(), file.path, Level(), out, [this] { Step(); });
    e.crc = coded.crc;
    e.size = static_cast<uint32_t>(coded.size);
    e.compressedSize = static_cast<uint32_t>(coded.compressedSize);
    out.Patch(start, LocalHeader(e));
    written.push_back(e);
    report_.Detail("Ajout de " + file.path + " sous " + e.name + ".");
    return true;
  } catch (const Failure& f) {
    if (f.code == ZipErrorWrite) throw;
    report_.Error(f);
    out.Truncate(start);
    return false;
  }
}

void ZipJob::WriteCentralDirectory(const std::vector<Entry>& written, OutputFile& out) {
  if (written.size() > MaxEntries)
    throw Failure{ZipErrorUnsupported, "Plus de 65535 entrées : non pris en charge sans ZIP64."};
  const uint64_t central = out.Position();
  for (const Entry& e : written) out.Write(CentralHeader(e));
  const uint64_t end = out.Position();
  if (end > MaxSize) throw Failure{ZipErrorUnsupported, "L'archive dépasserait 4 Go : non pris en charge sans ZIP64."};
  out.Write(EndRecord(written.size(), end - central, central, old_.comment));
}

void ZipJob::SetArchiveTime(const std::vector<Entry>& written) {
  uint32_t newest = 0;
  for (const Entry& e : written) newest = std::max(newest, e.DosTime());
  Handle archive(CreateFileA(archive_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  const FILETIME time = FileTimeOf(newest);
  if (!archive.Valid() || !SetFileTime(archive.Get(), nullptr, nullptr, &time))
    report_.Message(ZipErrorWrite, "La date de l'archive n'a pas pu être changée : " + SystemErrorText(GetLastError()));
}

void ZipJob::MoveFiles(const std::vector<const Candidate*>& added) {
  for (const Candidate* file : added)
    if (!DeleteFileA(file->path.c_str()))
      report_.Message(ZipErrorWrite, "Impossible de supprimer " + file->path + " : " + SystemErrorText(GetLastError()));
}

}  // namespace

extern "C" int32_t WINAPI ZipExecute(ZipRequest* request) {
  if (!request) return 0;
  Reporter report(request->Owner, request->Component, request->Callback, request->Verbose || request->Trace);
  // The archive is written whole or not at all: a call stopped or failed
  // before it replaced the old one answers 0.
  return RunRequest(report, {request->Version, request->Check, request->PatternCount, request->ArchiveName,
                             request->Patterns},
                    "PVZIP.DLL", [&](int32_t& done) {
                      if (request->Encrypt)
                        throw Failure{ZipErrorUnsupported,
                                      "Le chiffrement n'est pas pris en charge : aucun fichier n'a été archivé."};
                      done = ZipJob(*request, report).Run();
                    });
}

extern "C" int32_t WINAPI ZipLibraryVersion() { return ZipLibraryVersionNumber; }
