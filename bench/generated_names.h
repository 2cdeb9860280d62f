// Names of the generated directories and files, shared by the generated tree
// and the generated catalogue members: mixed case and a few accented ones,
// so that the catalogue's sort and the comparison's folding have work to do.
#pragma once
#include <string>

// A directory name ending with " " and its number, unique per number.
std::string DirectoryName(int index);
// A file name unique per index within one directory.
std::string FileName(int directory, int index);
