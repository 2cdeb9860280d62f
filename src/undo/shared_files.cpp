#include "undo/shared_files.h"

#include <algorithm>

#include "services/folding.h"

const char* const SystemModuleNames[17] = {
    "KERNEL", "KRNL", "USER", "GDI", "KEYBOARD", "SOUND", "MOUSE", "COMMDLG", "LZEXPAND",
    "MMSYSTEM", "SHELL", "WIN87EM", "TOOLHELP", "VER", "OLECLI", "OLESVR", "UNIDRV"};

bool HasProtectedModuleName(const std::string& fileName, const std::vector<std::string>& modules) {
  const std::string name = FoldFileName(fileName);
  return std::any_of(modules.begin(), modules.end(), [&](const std::string& module) {
    if (module.empty()) return false;
    size_t at = name.find(FoldFileName(module));
    return at != std::string::npos && at <= 1;
  });
}

bool SamePath(const std::string& a, const std::string& b) { return CompareFileNames(a, b) == 0; }

std::vector<std::string> SharedDirectoriesOf(const std::vector<std::string>& files) {
  std::vector<std::string> directories;
  for (const auto& file : files)
    if (size_t slash = file.rfind('\\'); slash != std::string::npos)
      directories.push_back(file.substr(0, slash));
  return directories;
}
