#include "undo/registry_rules.h"

#include "comparison/report_format.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsMarker(char c) {
  return c == report::Added || c == report::Removed || c == report::OldVersion;
}

}  // namespace

bool IsRegistryKeyLine(const std::string& line) {
  return line.size() >= 2 && IsMarker(line[0]) && line[1] == 'H' &&
         line.find('\\') != std::string::npos;
}

bool ParseRegistryValue(const std::string& text, RegistryValue& value) {
  RegistryValue v;
  if (text.size() >= 4 && text.compare(0, 3, "@=\"") == 0 && text.back() == '"') {
    // The default value, a string: "@=" and the quotes around the text.
    std::string s = text.substr(3, text.size() - 4);
    v.data.assign(s.begin(), s.end());
    v.data.push_back(0);
    value = std::move(v);
    return true;
  }
  if (text.empty() || text[0] != '"') return false;
  size_t close = text.find('"', 1);
  if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != '=') return false;
  v.name = text.substr(1, close - 1);
  const std::string data = text.substr(close + 2);
  if (data.rfind("hex:", 0) == 0) {
    v.type = 3;
    // ":" then the bytes with commas between them, each group of three
    // characters one byte.
    const std::string bytes = data.substr(3);
    if (bytes != ":" && bytes.size() % 3 != 0) return false;
    for (size_t i = 0; bytes != ":" && i < bytes.size(); i += 3) {
      int high = HexDigit(bytes[i + 1]), low = HexDigit(bytes[i + 2]);
      if (bytes[i] != (i == 0 ? ':' : ',') || high < 0 || low < 0) return false;
      v.data.push_back(static_cast<uint8_t>(high * 16 + low));
    }
  } else if (data.rfind("dword:", 0) == 0) {
    v.type = 4;
    const std::string digits = data.substr(6);
    if (digits.size() != 8) return false;
    uint32_t n = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<uint8_t>(n >> (8 * i)));
  } else {
    if (data.size() < 2 || data[0] != '"' || data.back() != '"') return false;
    std::string s = data.substr(1, data.size() - 2);
    v.data.assign(s.begin(), s.end());
    v.data.push_back(0);
  }
  value = std::move(v);
  return true;
}

bool RegistryKeyChangesOf(const std::vector<std::string>& lines,
                          std::vector<RegistryKeyChange>& keys) {
  std::vector<RegistryKeyChange> found;
  for (const auto& line : lines) {
    if (IsRegistryKeyLine(line)) {
      found.push_back({line, {}});
      continue;
    }
    RegistryValue value;
    if (found.empty() || line.size() < 2 || (line[0] != report::Added && line[0] != report::Removed) ||
        !ParseRegistryValue(line.substr(1), value))
      return false;
    found.back().values.push_back(line);
  }
  keys = std::move(found);
  return true;
}
