#include "undo/undo_run.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "comparison/report_format.h"
#include "recording/catalogue.h"
#include "recording/catalogue_lines.h"
#include "recording/state_files.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/registry.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "undo/catalogue_rules.h"
#include "undo/ne_imports.h"
#include "undo/profile_restore.h"
#include "undo/questions.h"
#include "undo/registry_restore.h"
#include "undo/report_sections.h"
#include "undo/shared_files.h"
#include "undo/startup_restore.h"

namespace {

constexpr const char* SharedDllsKey =
    "HKey_Local_Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* SharedText = " partagé avec d'autres applications";
constexpr const char* GoneText = " n'existe plus";
constexpr const char* ResumedText =
    " Reprise d'une mise à jour interrompue : ce qui a déjà été fait n'est pas refait.";

std::string Plural(unsigned n, const char* one, const char* many) {
  return n == 1 ? std::string(" 1 ") + one : " " + std::to_string(n) + " " + many;
}

std::string FileSummary(unsigned n) {
  return n == 0 ? " Aucun fichier effacé" : Plural(n, "fichier effacé", "fichiers effacés");
}

// What an interrupted run of the same report did, read from its log: the
// shared files whose count it already lowered, the files and directories
// it already removed.
struct EarlierRun {
  bool found = false;
  std::set<std::string> released, removed;  // folded paths

  void Read(const std::string& logName) {
    std::string bytes;
    if (!ReadFileBytes(logName, bytes)) return;
    found = true;
    std::istringstream in(bytes);
    std::string line;
    auto take = [&](const char* suffix, std::set<std::string>& into) {
      const std::string end = suffix;
      if (line.size() > end.size() && line.compare(line.size() - end.size(), end.size(), end) == 0)
        into.insert(FoldFileName(line.substr(0, line.size() - end.size())));
    };
    while (ReadTextLine(in, line)) {
      take(SharedText, released);
      take(" effacé", removed);
      take(" transféré dans la corbeille", removed);
      take(" supprimé", removed);
      take(GoneText, removed);
    }
  }
};

class Undo {
 public:
  Undo(const std::string& reportName, const std::string& title)
      : reportName_(reportName), title_(title), questions_(CurrentUndoQuestions()) {}

  void Run() {
    Program.StartupFilesChanged = false;
    Program.WindowsIniChanged = false;
    // A log written since the report, beside a report that is still there:
    // a run of this report was interrupted (the report goes only once a run
    // has ended).
    const std::string logName = UndoLogNameOf(reportName_);
    if (FileExists(logName) && LastWriteTimeOf(logName) >= LastWriteTimeOf(reportName_))
      earlier_.Read(logName);
    if (Program.UninstallMode) FindSharedFiles();
    ShowWaitMessage("Mise à jour des fichiers en cours.");
    std::ifstream in(reportName_, std::ios::binary);
    if (!in) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + reportName_);
    if (!earlier_.found) DeleteFileForced(logName);
    TextFileWriter log(logName, TextFileWriter::Mode::AppendWriteThrough);
    bool completed = false;
    try {
      ReportSections report(in);
      WriteHeader(report, log);
      Sections(report, log);
      in.close();
      DirectoryPass(log);
      completed = true;
    } catch (const DamagedReport&) {
      log.WriteLine(UndoInterruptedText);
    } catch (const IoError&) {
      log.WriteLine(UndoInterruptedText);
    } catch (const std::bad_alloc&) {
      log.WriteLine(UndoInterruptedText);
    }
    in.close();
    RestoreRegistry(registry_, log);
    log.Close();
    // Deleted last: until the whole run has ended, a crash leaves the
    // report there to be undone again.
    if (completed) DeleteFileForced(reportName_);
  }

 private:
  // ---- shared files ------------------------------------------------------

  void FindSharedFiles() {
    ShowWaitMessage("Recherche des fichiers partagés (DLL,...)");
    protectedModules_.assign(std::begin(SystemModuleNames), std::end(SystemModuleNames));
    std::ifstream in(reportName_, std::ios::binary);
    try {
      ReportSections report(in);
      ReportSection section;
      while (report.Next(section)) {
        CatalogueRemovals removals;
        if (section.kind != report::HeadingKind::Catalogue || !section.whole ||
            PosFolded("Catalogue", section.title) != 1 ||
            !CatalogueRemovalsOf(section.lines, removals))
          continue;
        for (const auto& path : removals.files) {
          std::string bytes;
          if (!ReadFileBytes(path, bytes) || bytes.empty()) continue;
          std::istringstream file(bytes);
          AppendNeImportedModules(file, protectedModules_);
        }
      }
    } catch (const DamagedReport&) {
      // The run itself stops at the same place.
    }
    // SharedDLLs may name a file by its short path: compared in long form.
    ReadRegValueNames(SharedDllsKey, sharedValueNames_);
    for (const auto& name : sharedValueNames_) sharedFiles_.push_back(LongPathOf(name));
  }

  // The SharedDLLs value name of a file, or nullptr.
  const std::string* SharedValueOf(const std::string& path) const {
    for (size_t i = 0; i < sharedFiles_.size(); ++i)
      if (SamePath(sharedFiles_[i], path)) return &sharedValueNames_[i];
    return nullptr;
  }

  // Decreases the file's SharedDLLs count, kept in the type it was stored in.
  // True when the count reached 0 and the file may go. The log tells that a
  // count was lowered before it is: an interrupted run is never lowered twice.
  bool ReleaseSharedFile(const std::string& path, const std::string& valueName, LineSink& log) {
    uint8_t binary[4] = {};
    DWORD type = 0, size = sizeof binary;
    std::string subKey;
    HKEY root = RegistryRootOf(SharedDllsKey, &subKey);
    bool stored = RegGetValueA(root, subKey.c_str(), valueName.c_str(), RRF_RT_ANY, &type, binary,
                               &size) == ERROR_SUCCESS;
    int64_t count = 1;
    if (stored && type == REG_BINARY)
      count = static_cast<int64_t>(binary[0] | binary[1] << 8 | binary[2] << 16) |
              static_cast<int64_t>(binary[3]) << 24;
    else if (stored && type == REG_DWORD)
      count = static_cast<int32_t>(binary[0] | binary[1] << 8 | binary[2] << 16 |
                                   static_cast<uint32_t>(binary[3]) << 24);
    --count;
    if (count <= 0) {
      DeleteRegValue(SharedDllsKey, valueName);
      return true;
    }
    log.WriteLine(path + SharedText);
    if (type == REG_BINARY) {
      uint32_t n = static_cast<uint32_t>(count);
      uint8_t bytes[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
      WriteRegBinary(SharedDllsKey, valueName, bytes, size > 4 ? 4 : size);
    } else {
      WriteRegInteger(SharedDllsKey, valueName, static_cast<int32_t>(count));
    }
    return false;
  }

  // ---- header and sections ----------------------------------------------

  void WriteHeader(ReportSections& report, LineSink& log) {
    const std::string date = RecordingDateText();
    if (earlier_.found) log.WriteLine("");
    if (Program.UninstallMode) {
      std::string header = title_;
      if (size_t at = header.find(" le "); at != std::string::npos) header.erase(at, 30);
      if (size_t at = header.find("au lancement de"); at != std::string::npos)
        header.replace(at, 15, "* Annulation de");
      else
        header = "* Dés" + header.substr(std::min<size_t>(4, header.size()));
      log.WriteLine(header + date);
    } else {
      log.WriteLine(("* Restauration du" + date.substr(2)).substr(0, 42));
      std::string first, second;
      report.HeaderLine(first);
      report.HeaderLine(second);
      size_t at = second.find(" au ");
      log.WriteLine("  selon l'état du " + (at == std::string::npos ? "" : second.substr(at + 4)));
    }
    if (earlier_.found) log.WriteLine(ResumedText);
    log.WriteLine("");
  }

  void Sections(ReportSections& report, LineSink& log) {
    ReportSection section;
    while (report.Next(section)) {
      if (section.kind == report::HeadingKind::Catalogue) {
        FileSection(section, log);
      } else if (section.title == report::RegistryTitle) {
        CollectRegistrySection(section, registry_);
      } else if (SamePath(section.title, WindowsIniPath())) {
        // The Windows directory's own WIN.INI, and no copy of it.
        RestoreProfileFile(section, true, log);
      } else if (PosFolded("AUTOEXEC.BAT", section.title) || PosFolded("CONFIG.SYS", section.title)) {
        RestoreStartupFile(section, log);
      } else {
        // SYSTEM.INI, MSDOS.SYS and every other file, each as itself.
        // MSDOS.SYS, although the comparison writes it in start-up form,
        // is a profile: it is put back entry by entry, which keeps its other
        // lines, where a rebuild would fill it with "rem" lines it cannot read.
        RestoreProfileFile(section, false, log);
      }
    }
  }

  void FileSection(const ReportSection& section, LineSink& log) {
    log.WriteLine("Mise à jour du " + section.heading.substr(std::min<size_t>(17, section.heading.size())));
    CatalogueRemovals removals;
    if (!section.whole || !CatalogueRemovalsOf(section.lines, removals)) {
      log.WriteLine(IncompleteSectionText);
      log.WriteLine("");
      return;
    }
    unsigned removed = 0;
    for (const auto& path : removals.files)
      if (AddedFile(path, log)) ++removed;
    directoriesToRemove_.insert(directoriesToRemove_.end(), removals.directories.begin(),
                                removals.directories.end());
    log.WriteLine(FileSummary(removed));
    log.WriteLine("");
  }

  // Nothing of the program's own directory is ever removed: its state
  // files, reports and logs are no installation's.
  bool OwnFile(const std::string& path) const {
    const std::string& own = Program.ProgramDirectory;
    const std::string withSlash = path + "\\";
    return !own.empty() && SamePath(withSlash.substr(0, own.size()), own);
  }

  bool AlreadyRemoved(const std::string& path) const {
    return earlier_.removed.count(FoldFileName(path)) && !FileExists(path) && !DirectoryExists(path);
  }

  // True when the file was removed.
  bool AddedFile(const std::string& path, LineSink& log) {
    if (OwnFile(path)) {
      log.WriteLine(path + " appartient à Pivalune");
      return false;
    }
    if (AlreadyRemoved(path)) return false;  // the earlier run's log says so
    // Gone already (the application's own uninstaller removed it): that is
    // what the log says, not that it could not be deleted.
    if (!FileExists(path) && !DirectoryExists(path)) {
      log.WriteLine(path + GoneText);
      return false;
    }
    bool possiblyShared = false;
    if (Program.UninstallMode) {
      const std::string name = path.substr(path.rfind('\\') + 1);
      if (const std::string* value = SharedValueOf(path)) {
        possiblyShared = true;
        if (earlier_.released.count(FoldFileName(path))) {
          log.WriteLine(path + SharedText);
          return false;
        }
        if (!ReleaseSharedFile(path, *value, log)) return false;
      } else if (HasProtectedModuleName(name, protectedModules_)) {
        possiblyShared = true;
        if (Program.ConfirmLevel > 2 &&
            !questions_.AskYesNo("Le fichier " + ShortenPathForMessage(path) +
                                 " est peut-être utilisé par d'autres applications. Voulez-vous le "
                                 "supprimer tout de même?"))
          return false;
      }
    }
    bool recycled = false;
    bool ok = possiblyShared ? RemoveFileUndoable(path, &recycled) : DeleteFileForced(path);
    LogRemoval(path, ok, recycled, log);
    return ok;
  }

  static void LogRemoval(const std::string& path, bool ok, bool recycled, LineSink& log) {
    log.WriteLine(path + (!ok ? " ineffaçable" : recycled ? " transféré dans la corbeille" : " effacé"));
  }

  // ---- directories -------------------------------------------------------

  void DirectoryPass(LineSink& log) {
    log.WriteLine("Mise à jour des répertoires");
    const std::vector<std::string> sharedDirectories =
        Program.UninstallMode ? SharedDirectoriesOf(sharedFiles_) : std::vector<std::string>{};
    for (auto it = directoriesToRemove_.rbegin(); it != directoriesToRemove_.rend(); ++it) {
      if (OwnFile(*it)) {
        log.WriteLine(*it + " appartient à Pivalune");
        continue;
      }
      if (AlreadyRemoved(*it)) continue;
      if (!DirectoryExists(*it) && !FileExists(*it)) {
        log.WriteLine(*it + GoneText);
        continue;
      }
      bool shared = std::any_of(sharedDirectories.begin(), sharedDirectories.end(),
                                [&](const std::string& d) { return SamePath(d, *it); });
      if (shared)
        log.WriteLine(*it + " n'est pas vide");
      else
        RemoveDirectoryEntry(*it, log);
    }
    log.WriteLine(directoriesRemoved_ == 0
                      ? " Aucune modification"
                      : Plural(directoriesRemoved_, "répertoire supprimé", "répertoires supprimés"));
    if (filesRemovedInDirectories_ > 0) log.WriteLine(FileSummary(filesRemovedInDirectories_));
  }

  void RemoveDirectoryEntry(const std::string& path, LineSink& log) {
    if (RemoveEmptyDirectory(path)) {
      log.WriteLine(path + " supprimé");
      ++directoriesRemoved_;
      return;
    }
    if (Program.ConfirmLevel > 1 &&
        !questions_.AskYesNo("Le répertoire " + ShortenPathForMessage(path) +
                             " n'est pas vide. Voulez-vous le supprimer tout de même?")) {
      log.WriteLine(path + " n'est pas vide");
      return;
    }
    RemoveFilesOf(path, log);
    if (RemoveEmptyDirectory(path)) {
      log.WriteLine(path + " supprimé");
      ++directoriesRemoved_;
    } else {
      log.WriteLine(path + " ineffaçable");
    }
  }

  // The directory's own files, listed into "prov.cat" first.
  void RemoveFilesOf(const std::string& path, LineSink& log) {
    const char* listing = "prov.cat";
    {
      TextFileWriter prov(listing);
      CatalogueDirectory(path + "\\", "*.*", prov, false);
      prov.Close();
    }
    std::ifstream in(listing, std::ios::binary);
    std::string line, directory;
    while (ReadTextLine(in, line)) {
      char kind = ClassifyCatalogueLine(line);
      if (kind == 'C') {
        directory = line.back() == '\\' ? line : line + "\\";
      } else if (kind == 'F') {
        std::string file = directory + CatalogueEntryName(line);
        bool recycled = false;
        bool ok = RemoveFileUndoable(file, &recycled);
        LogRemoval(file, ok, recycled, log);
        if (ok) ++filesRemovedInDirectories_;
      }
    }
    in.close();
    DeleteFileForced(listing);
  }

  std::string reportName_, title_;
  UndoQuestions& questions_;
  EarlierRun earlier_;
  std::vector<std::string> protectedModules_, sharedValueNames_, sharedFiles_, directoriesToRemove_;
  RegistryChanges registry_;
  unsigned directoriesRemoved_ = 0, filesRemovedInDirectories_ = 0;
};

}  // namespace

std::string UndoLogNameOf(const std::string& reportName) {
  // The dot is looked for in the file name only: a report kept in a
  // directory whose name has a dot must not name its log after that.
  size_t nameStart = reportName.find_last_of("\\:");
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  return reportName.substr(0, reportName.find('.', nameStart)) + ".PV3";
}

bool RemoveFileUndoable(const std::string& path, bool* recycled) {
  bool toBin = Program.UninstallMode && Program.UseRecycleBin;
  if (recycled) *recycled = toBin;
  return toBin ? RecycleFile(path) : DeleteFileForced(path);
}

std::string ShortenPathForMessage(const std::string& path) {
  if (path.size() <= 27) return path;
  std::string s = path;
  size_t first = s.find('\\');
  if (first == std::string::npos) return s;
  size_t second = s.find('\\', first + 1);
  if (second == std::string::npos) return s;
  s[first] = '[';
  s[second] = ']';
  size_t close = second;
  while (s.size() > 23) {
    size_t next = s.find('\\', close + 1);
    if (next == std::string::npos) break;
    s.erase(close + 1, next - close);
  }
  s.insert(close + 1, "...\\");
  s[first] = '\\';
  s[close] = '\\';
  return s;
}

void UndoRun(const std::string& reportName, const std::string& title) {
  std::string name = reportName;
  if (size_t dots = name.find(".."); dots != std::string::npos) name.erase(dots, 1);
  Undo(name, title).Run();
}
