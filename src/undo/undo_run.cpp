#include "undo/undo_run.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <set>
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
#include "undo/ne_imports.h"
#include "undo/profile_restore.h"
#include "undo/questions.h"
#include "undo/registry_restore.h"
#include "undo/startup_restore.h"
#include "undo/undo_report.h"

namespace {

constexpr const char* SharedDllsKey =
    "HKey_Local_Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* SystemModuleNames[17] = {
    "KERNEL", "KRNL", "USER", "GDI", "KEYBOARD", "SOUND", "MOUSE", "COMMDLG", "LZEXPAND",
    "MMSYSTEM", "SHELL", "WIN87EM", "TOOLHELP", "VER", "OLECLI", "OLESVR", "UNIDRV"};

bool EqualFolded(const std::string& a, const std::string& b) { return CompareFolded(a, b) == 0; }

std::string Plural(unsigned n, const char* one, const char* many) {
  return n == 1 ? std::string(" 1 ") + one : " " + std::to_string(n) + " " + many;
}

std::string FileSummary(unsigned n) {
  return n == 0 ? " Aucun fichier effacé" : Plural(n, "fichier effacé", "fichiers effacés");
}

// One added sub-directory line of a catalogue stretch ("+NAME   REP").
struct StretchDirectories {
  std::vector<std::string> added;
  std::set<std::string> removed;  // folded names
};

class Undo {
 public:
  Undo(const std::string& reportName, const std::string& title)
      : reportName_(reportName), title_(title), questions_(CurrentUndoQuestions()) {}

  void Run() {
    Program.StartupFilesChanged = false;
    Program.WindowsIniChanged = false;
    if (Program.UninstallMode) FindSharedFiles();
    ShowWaitMessage("Mise à jour des fichiers en cours.");
    std::ifstream in(reportName_, std::ios::binary);
    if (!in) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + reportName_);
    TextFileWriter log(UndoLogNameOf(reportName_));
    bool completed = false;
    try {
      ReportReader report(in);
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
    RestoreRegistry(registryLines_, log);
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
    std::string line, directory;
    bool inCatalogue = false;
    while (ReadTextLine(in, line)) {
      if (line.empty()) {
        inCatalogue = false;
      } else if (PosFolded("Modifications au Catalogue", line) == 1) {
        inCatalogue = true;
      } else if (inCatalogue && report::IsDirectoryLine(line)) {
        directory = line;
      } else if (inCatalogue && line[0] == report::Added && !report::IsSubDirectoryLine(line)) {
        std::string name;
        if (!report::AddedFileNameOf(line, name)) continue;
        std::ifstream file(directory + name, std::ios::binary);
        if (file) AppendNeImportedModules(file, protectedModules_);
      }
    }
    ReadRegValueNames(SharedDllsKey, sharedFiles_);
  }

  bool IsSharedFile(const std::string& path) const {
    return std::any_of(sharedFiles_.begin(), sharedFiles_.end(),
                       [&](const std::string& s) { return EqualFolded(s, path); });
  }

  bool HasProtectedModuleName(const std::string& name) const {
    return std::any_of(protectedModules_.begin(), protectedModules_.end(),
                       [&](const std::string& module) {
                         size_t at = name.find(module);
                         return !module.empty() && at != std::string::npos && at <= 1;
                       });
  }

  // Decreases the file's SharedDLLs count, kept in the type it was stored in.
  // True when the count reached 0 and the file may go.
  bool ReleaseSharedFile(const std::string& path) {
    uint8_t binary[4] = {};
    DWORD type = 0, size = sizeof binary;
    std::string subKey;
    HKEY root = RegistryRootOf(SharedDllsKey, &subKey);
    bool stored = RegGetValueA(root, subKey.c_str(), path.c_str(), RRF_RT_ANY, &type, binary, &size) ==
                  ERROR_SUCCESS;
    int64_t count = 1;
    if (stored && type == REG_BINARY)
      count = static_cast<int64_t>(binary[0] | binary[1] << 8 | binary[2] << 16) |
              static_cast<int64_t>(binary[3]) << 24;
    else if (stored && type == REG_DWORD)
      count = static_cast<int32_t>(binary[0] | binary[1] << 8 | binary[2] << 16 |
                                   static_cast<uint32_t>(binary[3]) << 24);
    --count;
    if (count <= 0) {
      DeleteRegValue(SharedDllsKey, path);
      return true;
    }
    if (type == REG_BINARY) {
      uint32_t n = static_cast<uint32_t>(count);
      uint8_t bytes[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
      WriteRegBinary(SharedDllsKey, path, bytes, size > 4 ? 4 : size);
    } else {
      WriteRegInteger(SharedDllsKey, path, static_cast<int32_t>(count));
    }
    return false;
  }

  // ---- header and sections ----------------------------------------------

  void WriteHeader(ReportReader& report, LineSink& log) {
    const std::string date = RecordingDateText();
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
      report.Next(first);
      report.Next(second);
      size_t at = second.find(" au ");
      log.WriteLine("  selon l'état du " + (at == std::string::npos ? "" : second.substr(at + 4)));
    }
    log.WriteLine("");
  }

  void Sections(ReportReader& report, LineSink& log) {
    std::string line;
    while (report.Next(line)) {
      if (line.rfind("Modifications au", 0) == 0) {
        FileSection(line, report, log);
      } else if (line.rfind("Modifications dans", 0) == 0) {
        std::string target = line.size() > 19 ? line.substr(19, 100) : "";
        // File names are compared without regard to case: Windows NT and
        // Wine list them in lower case. MSDOS.SYS, although the comparison
        // writes it in start-up form, is a profile: it is put back entry by
        // entry, which keeps its other lines, their case and its attributes,
        // where a rebuild would fill it with "rem" lines it cannot read.
        if (PosFolded("\\WIN.INI", line))
          RestoreProfileFile(line, true, target, report, log);
        else if (PosFolded("AUTOEXEC.BAT", line) || PosFolded("CONFIG.SYS", line))
          RestoreStartupFile(line, report, log);
        else if (PosFolded("BASE DE REGISTRE", line))
          CollectRegistrySection(report, registryLines_);
        else
          RestoreProfileFile(line, false, target, report, log);
      }
    }
  }

  void FileSection(const std::string& heading, ReportReader& report, LineSink& log) {
    log.WriteLine("Mise à jour du " + heading.substr(std::min<size_t>(17, heading.size())));
    unsigned removed = 0;
    std::string line, directory;
    StretchDirectories stretch;
    while (report.Next(line) && !line.empty()) {
      if (report::IsDirectoryLine(line)) {
        EndStretch(directory, stretch);
        directory = line;
      } else if (report::IsSubDirectoryLine(line)) {
        if (line[0] == report::Added)
          stretch.added.push_back(report::EntryNameOf(line));
        else if (line[0] == report::Removed)
          stretch.removed.insert(FoldUpper(report::EntryNameOf(line)));
      } else if (line[0] == report::Added) {
        std::string name;
        if (!report::AddedFileNameOf(line, name)) throw DamagedReport("damaged file line");
        if (AddedFile(directory + name, name, log)) ++removed;
      }
    }
    EndStretch(directory, stretch);
    log.WriteLine(FileSummary(removed));
    log.WriteLine("");
  }

  // A sub-directory listed both as removed and as added in one stretch has
  // only changed its date or attributes (NT and Wine date a directory anew
  // whenever an entry is made or deleted in it): it existed before and is
  // neither removed nor emptied.
  void EndStretch(const std::string& directory, StretchDirectories& stretch) {
    for (const auto& name : stretch.added)
      if (!stretch.removed.count(FoldUpper(name))) directoriesToRemove_.push_back(directory + name);
    stretch = {};
  }

  // True when the file was removed.
  bool AddedFile(const std::string& path, const std::string& name, LineSink& log) {
    bool possiblyShared = false;
    if (Program.UninstallMode) {
      if (IsSharedFile(path)) {
        possiblyShared = true;
        if (!ReleaseSharedFile(path)) {
          log.WriteLine(path + " partagé avec d'autres applications");
          return false;
        }
      } else if (HasProtectedModuleName(name)) {
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
    std::vector<std::string> sharedDirectories;
    if (Program.UninstallMode)
      for (const auto& file : sharedFiles_)
        if (size_t slash = file.rfind('\\'); slash != std::string::npos)
          sharedDirectories.push_back(file.substr(0, slash));
    for (auto it = directoriesToRemove_.rbegin(); it != directoriesToRemove_.rend(); ++it) {
      bool shared = std::any_of(sharedDirectories.begin(), sharedDirectories.end(),
                                [&](const std::string& d) { return EqualFolded(d, *it); });
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
    if (RemoveDirectoryA(path.c_str())) {
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
    if (RemoveDirectoryA(path.c_str())) {
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
    DeleteFileA(listing);
  }

  std::string reportName_, title_;
  UndoQuestions& questions_;
  std::vector<std::string> protectedModules_, sharedFiles_, directoriesToRemove_, registryLines_;
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
