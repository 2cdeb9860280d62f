// PVUNZIP.DLL: extracts or tests the entries of a ZIP archive, on the
// request the archive component fills (UnzipRequest), into the current
// directory (the component makes the target folder current first).
//
// A file is never extracted in place: it is expanded into a temporary file
// in its target folder ("pvu" + hex + ".tmp"), its size and CRC checked,
// and only then renamed over the target. A damaged entry, a truncated
// archive, a full disk, a stop asked by the callback or a target in use
// leaves the target as it was, and the temporary file is removed.
#include <windows.h>

#include <algorithm>
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

constexpr DWORD RestoredDosAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

class UnzipJob {
 public:
  UnzipJob(const UnzipRequest& request, Reporter& report)
      : r_(request),
        report_(report),
        patterns_(PatternsOf({request.Version, request.Check, request.PatternCount, request.ArchiveName, request.Patterns})),
        archive_(TextOfBuffer(request.ArchiveName, ZipTextBufferSize)) {}
  // Counts in `done` the files extracted (or tested) as it goes, so that a
  // stop still tells how many were.
  void Run(int32_t& done);

 private:
  bool Selected(const Entry& e) const;
  bool Process(const Entry& e);
  void CheckSupported(const Entry& e) const;
  bool Test(const Entry& e, uint64_t start);
  bool Extract(const Entry& e, uint64_t start);
  // Whether the target may be written, by the rules of the switches.
  bool MayWrite(const Entry& e, const std::string& target);
  void MakeFolders(const std::string& target) const;
  void Step() { report_.Step(); }

  bool FreshenOnly() const { return r_.Freshen && !r_.Update; }

  const UnzipRequest& r_;
  Reporter& report_;
  std::vector<std::string> patterns_;
  ArchiveFile archive_;
  Directory directory_;
};

void UnzipJob::Run(int32_t& done) {
  if (r_.Trace) report_.Message(0, "PVUNZIP.DLL version " + std::to_string(ZipLibraryVersionNumber) + ".");
  directory_ = ReadDirectory(archive_, archive_.Path());
  bool any = false;
  for (const Entry& e : directory_.entries) {
    if (!Selected(e)) continue;
    any = true;
    if (e.IsDirectory()) {
      if (!r_.Test && r_.DirectoryNames && !IsUnsafeEntryName(e.name)) MakeFolders(TargetPathOf(e.name, true) + "\\");
      continue;
    }
    try {
      if (Process(e)) ++done;
    } catch (const Failure& f) {
      report_.Error(f);
    }
  }
  if (!any) report_.Message(0, "Aucune entrée de l'archive ne correspond aux fichiers indiqués.");
  if (!r_.Quiet) report_.Message(0, std::to_string(done) + " fichier(s) traité(s).");
}

// No pattern takes every entry.
bool UnzipJob::Selected(const Entry& e) const {
  if (patterns_.empty()) return true;
  return std::any_of(patterns_.begin(), patterns_.end(),
                     [&](const std::string& pattern) { return PatternSelectsEntry(pattern, e.name, r_.DirectoryNames != 0); });
}

bool UnzipJob::Process(const Entry& e) {
  CheckSupported(e);
  const uint64_t start = DataStart(archive_, directory_, e);
  return r_.Test ? Test(e, start) : Extract(e, start);
}

void UnzipJob::CheckSupported(const Entry& e) const {
  if (e.Encrypted()) {
    const bool password = r_.Password && r_.Password[0];
    throw Failure{ZipErrorUnsupported, std::string(password ? "Mot de passe ignoré : " : "") +
                                           "entrée chiffrée, le chiffrement n'est pas pris en charge : " + e.name + "."};
  }
  if (e.NeedsZip64()) throw Failure{ZipErrorUnsupported, "Entrée de 4 Go ou plus, non prise en charge : " + e.name + "."};
  if (e.method != MethodStored && e.method != MethodDeflated)
    throw Failure{ZipErrorUnsupported,
                  "Méthode de compression " + std::to_string(e.method) + " non prise en charge : " + e.name + "."};
}

bool UnzipJob::Test(const Entry& e, uint64_t start) {
  report_.NewFile(e.name, e.size);
  ExpandEntry(archive_, start, e, nullptr, [this] { Step(); });
  report_.Detail("Contrôle correct : " + e.name + ".");
  return true;
}

bool UnzipJob::Extract(const Entry& e, uint64_t start) {
  if (IsUnsafeEntryName(e.name)) {
    report_.Message(ZipErrorUnsafeName, "Entrée refusée, elle sortirait du dossier de destination : " + e.name + ".");
    return false;
  }
  const std::string target = TargetPathOf(e.name, r_.DirectoryNames != 0);
  if (!MayWrite(e, target)) return false;
  report_.NewFile(e.name, e.size);
  MakeFolders(target);
  TemporaryFile temp(FolderOf(FullPathOf(target)), "pvu");
  ExpandEntry(archive_, start, e, &temp.Output(), [this] { Step(); });
  temp.SetLastWriteTime(FileTimeOf(e.DosTime()));
  temp.Commit(target);
  if (const DWORD attributes = e.DosAttributes() & RestoredDosAttributes)
    SetFileAttributesA(target.c_str(), attributes);
  report_.Detail("Extrait : " + target + ".");
  return true;
}

bool UnzipJob::MayWrite(const Entry& e, const std::string& target) {
  WIN32_FILE_ATTRIBUTE_DATA existing;
  if (!GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &existing)) return !FreshenOnly();
  if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    throw Failure{ZipErrorWrite, "Un dossier porte déjà le nom " + target + " : l'entrée n'est pas extraite."};
  if (r_.Freshen || r_.Update) {
    if (e.DosTime() > DosTimeOf(existing.ftLastWriteTime)) return true;
    report_.Detail(target + " n'est pas plus ancien que l'entrée : il est conservé.");
    return false;
  }
  if (r_.Overwrite) return true;
  report_.Message(0, target + " existe déjà : il n'est pas remplacé.");
  return false;
}

void UnzipJob::MakeFolders(const std::string& target) const {
  for (size_t at = target.find('\\'); at != std::string::npos; at = target.find('\\', at + 1))
    CreateDirectoryA(target.substr(0, at).c_str(), nullptr);
}

}  // namespace

extern "C" int32_t WINAPI UnzipExecute(UnzipRequest* request) {
  if (!request) return 0;
  Reporter report(request->Owner, request->Component, request->Callback, request->Verbose || request->Trace);
  // A stop still answers how many files were extracted before it.
  return RunRequest(report, {request->Version, request->Check, request->PatternCount, request->ArchiveName,
                             request->Patterns},
                    "PVUNZIP.DLL", [&](int32_t& done) { UnzipJob(*request, report).Run(done); });
}

extern "C" int32_t WINAPI UnzipLibraryVersion() { return ZipLibraryVersionNumber; }
