// The modules a 16-bit Windows executable (NE format) imports. No Windows
// headers.
#pragma once
#include <istream>
#include <string>
#include <vector>

// Appends the imported module names (a-z upper-cased, cut to 8 characters).
// Anything that is not a readable NE executable adds nothing.
void AppendNeImportedModules(std::istream& file, std::vector<std::string>& names);
