// Reading the registry block of a report for the undo: key lines and value
// lines in the syntax of registry export files. No Windows headers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A value line without its marker, as the undo stores or deletes it.
struct RegistryValue {
  std::string name;   // empty for the key's default value
  uint32_t type = 1;  // 1 string, 3 binary, 4 number
  std::vector<uint8_t> data;
};
// False when the text is no value line the comparison writes.
bool ParseRegistryValue(const std::string& text, RegistryValue& value);

// A key line: marker, then a path beginning with a root name and "\".
bool IsRegistryKeyLine(const std::string& line);

// One key of the block and its value lines, in report order.
struct RegistryKeyChange {
  std::string header;               // marker + key path
  std::vector<std::string> values;  // marker + value text
};
// The keys of a whole block's body (count line taken off): every line a key
// line or a value line after one, each value line one that parses. False,
// with nothing to do, otherwise.
bool RegistryKeyChangesOf(const std::vector<std::string>& lines,
                          std::vector<RegistryKeyChange>& keys);
