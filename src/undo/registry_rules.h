// Reading the registry block of a report for the undo: key lines and value
// lines in the syntax of registry export files. No Windows headers.
#pragma once
#include <string>
#include <vector>

#include "services/registry_text.h"

// A key line: marker, then a key path (ParseReportKeyPath).
bool IsRegistryKeyLine(const std::string& line);

// One key of the block and its value lines, in report order.
struct RegistryKeyChange {
  char marker = ' ';                        // '+' added, '-' removed, ' ' values changed
  std::vector<std::u16string> path;         // root name, then the names below it
  std::string display;                      // the path as the report writes it
  std::vector<std::pair<char, RegistryValueData>> values;
  std::vector<std::string> valueTexts;      // each value as the report writes it
};
// The keys of a whole block's body (count line taken off): every line a key
// line or a value line after one, each one that parses. False, with nothing
// to do, otherwise.
bool RegistryKeyChangesOf(const std::vector<std::string>& lines,
                          std::vector<RegistryKeyChange>& keys);
