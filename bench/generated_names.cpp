#include "generated_names.h"

namespace {

const char* const DirectoryStems[] = {"Programmes", "system", "Données", "Temp", "aide",
                                      "Polices", "Mes documents", "bin", "_cache", "Zeta"};
const char* const FileStems[] = {"readme", "SETUP", "Fichier", "data", "Liste", "mscomctl",
                                 "été", "Config", "lib", "Zone"};
const char* const FileExtensions[] = {".txt", ".DLL", ".exe", ".ini", ".hlp", "", ".dat",
                                      ".Bmp"};

}  // namespace

std::string DirectoryName(int index) {
  return std::string(DirectoryStems[index % 10]) + " " + std::to_string(index);
}

std::string FileName(int directory, int index) {
  unsigned mix = static_cast<unsigned>(directory * 31 + index * 7919);
  return std::string(FileStems[mix % 10]) + std::to_string(index) +
         FileExtensions[(mix / 10) % 8];
}
