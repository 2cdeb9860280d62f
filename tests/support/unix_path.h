// The Unix path Wine maps a Windows path to, for the host commands of the
// tests and benchmarks (links in dosdevices, removal of generated trees).
// Without Wine there is none: raises std::runtime_error.
#pragma once
#include <string>

std::string UnixPathOf(const std::string& windowsPath);
