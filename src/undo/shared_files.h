// The rules that keep files other applications may share. No Windows
// headers.
#pragma once
#include <string>
#include <vector>

// The 16-bit system modules an added file may be one of, or replace.
extern const char* const SystemModuleNames[17];

// The file name begins (at its first or second character) with one of the
// module names, without regard to case: Windows NT and Wine name their
// modules in small letters ("user32.dll").
bool HasProtectedModuleName(const std::string& fileName, const std::vector<std::string>& modules);

// Two paths of one file, as the file system compares names.
bool SamePath(const std::string& a, const std::string& b);

// The directories of the shared files: each path up to its last "\"; a
// name without one gives nothing.
std::vector<std::string> SharedDirectoriesOf(const std::vector<std::string>& files);
