#include "tools/cleaner.h"

#include <windows.h>

#include "services/files.h"
#include "services/folding.h"

namespace {

// The path as the file system names it, ending with "\", for comparison.
std::string Normalized(const std::string& path) {
  std::string text = LongPathOf(path);
  if (!text.empty() && text.back() != '\\') text += '\\';
  return FoldFileName(text);
}

std::string WindowsPath(UINT (*get)(LPSTR, UINT)) {
  char path[MAX_PATH] = {};
  return get(path, MAX_PATH) ? Normalized(path) : "";
}

std::string ParentOf(const std::string& normalized) {
  const size_t slash = normalized.rfind('\\', normalized.size() - 2);
  return slash == std::string::npos ? "" : normalized.substr(0, slash + 1);
}

// "c'est ..." when the directory is that folder, "il contient ..." when it
// holds it; "" otherwise.
std::string Against(const std::string& temporary, const std::string& folder, const std::string& what) {
  if (folder.empty() || folder.compare(0, temporary.size(), temporary) != 0) return "";
  return (folder == temporary ? "c'est " : "il contient ") + what;
}

}  // namespace

uint32_t FreedBlocksOf(int64_t size) {
  return size <= 0 ? 0 : static_cast<uint32_t>((size + 4095) / 4096);
}

std::string CleaningResultText(uint32_t deleted, uint64_t freedBlocks) {
  if (deleted == 0) return "Aucun fichier n'a été supprimé.";
  const std::string freed = std::to_string(4 * freedBlocks) + " Ko.";
  if (deleted == 1) return "1 fichier a été supprimé, ce qui a libéré au moins " + freed;
  return std::to_string(deleted) + " fichiers ont été supprimés, ce qui a libéré au moins " + freed;
}

bool MaskMayBeAdded(const std::string& text) {
  const size_t dot = text.find('.');
  return text.size() >= 3 && dot != std::string::npos && dot >= 1 && dot + 1 < text.size();
}

std::string WhyTemporaryDirectoryStays(const std::string& temporary, const std::string& programDirectory) {
  const std::string temp = Normalized(temporary);
  if (temp.size() <= 3) return "c'est la racine d'un disque";
  for (const auto& [folder, what] : {std::pair{Normalized(programDirectory), "le répertoire de Pivalune"},
                                     std::pair{WindowsPath(GetWindowsDirectoryA), "le répertoire de Windows"},
                                     std::pair{WindowsPath(GetSystemDirectoryA), "le répertoire système de Windows"}})
    if (std::string why = Against(temp, folder, what); !why.empty()) return why;
  char profile[MAX_PATH] = {};
  if (GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH)) {
    const std::string user = Normalized(profile);
    if (std::string why = Against(temp, user, "le dossier d'un utilisateur"); !why.empty()) return why;
    // Another user's folder, beside this one.
    if (ParentOf(temp) == ParentOf(user)) return "c'est le dossier d'un utilisateur";
  }
  return "";
}

std::string TemporaryDirectoryLeftText(const std::string& temporary, const std::string& why) {
  return "Le répertoire temporaire " + temporary + " n'a pas été vidé : " + why + ".";
}
