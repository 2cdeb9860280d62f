// The registry snapshot file: HKey_Local_Machine and HKey_Users as text.
#pragma once
#include <string>

// Creates or truncates the file and writes the whole snapshot. Keys that
// cannot be opened are left out; a file that cannot be written raises IoError.
void WriteRegistrySnapshot(const std::string& fileName);
