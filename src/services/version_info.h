// What a program or library says about itself in its version resource.
#pragma once
#include <cstdint>
#include <string>

struct FileVersionInfo {
  bool Present = false;      // the file has version information
  int32_t VersionHigh = 0;   // major * 65536 + minor
  int32_t VersionLow = 0;    // release * 65536 + build
  int32_t Language = 0;      // the first language of the translation table, 0 when none
};

FileVersionInfo ReadFileVersionInfo(const std::string& path);
// "4.10.0.1998".
std::string VersionText(int32_t high, int32_t low);
// The system's name for a language (at most 40 characters).
std::string LanguageName(int32_t language);
