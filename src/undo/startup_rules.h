// Rebuilding AUTOEXEC.BAT and CONFIG.SYS from a report block. No Windows
// headers.
#pragma once
#include <string>
#include <vector>

// Both lists hold lines in capitals with the accents folded, without empty
// lines: the block's marked lines, the file's lines.
struct StartupRebuild {
  std::vector<std::string> lines;  // the work file
  unsigned changes = 0;
};

// Uninstall: the current file with the installation's changes commented.
StartupRebuild UninstallStartupFile(const std::vector<std::string>& changes,
                                    const std::vector<std::string>& file);
// Restore: the file as the reference had it, from the block alone.
StartupRebuild RestoreStartupFileLines(const std::vector<std::string>& changes);
// The block is a whole image of the current file: its "=" and "+" lines are
// the file's lines, in order. Only then may a restore replace the file.
bool SectionHoldsWholeFile(const std::vector<std::string>& changes,
                           const std::vector<std::string>& file);
