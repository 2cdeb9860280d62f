#include "services/version_info.h"

#include <windows.h>

#include <vector>

FileVersionInfo ReadFileVersionInfo(const std::string& path) {
  FileVersionInfo info;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return info;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return info;
  void* block = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", &block, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    info.Present = true;
    info.VersionHigh = static_cast<int32_t>(fixed->dwFileVersionMS);
    info.VersionLow = static_cast<int32_t>(fixed->dwFileVersionLS);
  }
  if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &block, &length) && length >= 4) {
    info.Present = true;
    info.Language = *static_cast<const WORD*>(block);
  }
  return info;
}

std::string VersionText(int32_t high, int32_t low) {
  const auto h = static_cast<uint32_t>(high), l = static_cast<uint32_t>(low);
  return std::to_string(h / 65536) + "." + std::to_string(h % 65536) + "." + std::to_string(l / 65536) + "." +
         std::to_string(l % 65536);
}

std::string LanguageName(int32_t language) {
  char name[41] = {};
  if (VerLanguageNameA(static_cast<DWORD>(language), name, sizeof name) == 0) return "";
  return name;
}
