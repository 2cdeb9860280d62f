#include "undo/registry_restore.h"

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "comparison/report_format.h"
#include "services/folding.h"
#include "services/wait_message.h"

namespace {

constexpr REGSAM FullAccess = 983103;

struct RootName {
  const char* prefix;
  HKEY key;
};
const RootName RootNames[] = {{"HKey_Users\\", HKEY_USERS},
                              {"HKey_Local_Machine\\", HKEY_LOCAL_MACHINE},
                              {"HKey_Classes_Root\\", HKEY_CLASSES_ROOT},
                              {"HKey_Current_User\\", HKEY_CURRENT_USER}};

// The root of a key path and the sub-key after its first backslash; null
// for any other root.
HKEY RootOf(const std::string& path, std::string& subKey) {
  for (const auto& root : RootNames) {
    std::string_view prefix = root.prefix;
    if (path.size() >= prefix.size() && CompareFolded(path.substr(0, prefix.size()), prefix) == 0) {
      subKey = path.substr(prefix.size());
      return root.key;
    }
  }
  return nullptr;
}

struct ParsedValue {
  std::string name;
  DWORD type = REG_SZ;
  std::vector<BYTE> data;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw DamagedReport("bad hexadecimal digit");
}

// A value line in export syntax, without its marker.
ParsedValue ParseValue(const std::string& text) {
  ParsedValue v;
  const size_t hex = text.find("\"=hex:");
  const size_t dword = text.find("\"=dword:");
  if (!text.empty() && text[0] == '@') {
    // The default string: "@=" and the quotes around the text.
    std::string s = text.size() >= 4 ? text.substr(3, text.size() - 4) : "";
    v.data.assign(s.begin(), s.end());
    v.data.push_back(0);
    return v;
  }
  size_t close = text.find('"', 1);
  if (text.empty() || text[0] != '"' || close == std::string::npos)
    throw DamagedReport("bad registry value line");
  v.name = text.substr(1, close - 1);
  if (hex != std::string::npos) {
    v.type = REG_BINARY;
    std::string bytes = text.substr(hex + 5);  // from the colon on
    for (size_t i = 0; i + 3 <= bytes.size(); i += 3)
      v.data.push_back(static_cast<BYTE>(HexDigit(bytes[i + 1]) * 16 + HexDigit(bytes[i + 2])));
  } else if (dword != std::string::npos) {
    v.type = REG_DWORD;
    std::string digits = text.substr(dword + 8);
    if (digits.empty() || digits.size() > 8) throw DamagedReport("bad dword");
    uint32_t n = 0;
    for (char c : digits) n = n * 16 + static_cast<uint32_t>(HexDigit(c));
    for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<BYTE>(n >> (8 * i)));
  } else {
    size_t sep = text.find("\"=\"");
    if (sep == std::string::npos || text.size() < sep + 4) throw DamagedReport("bad string value");
    std::string s = text.substr(sep + 3, text.size() - sep - 4);
    v.data.assign(s.begin(), s.end());
    v.data.push_back(0);
  }
  return v;
}

bool IsKeyHeader(const std::string& line) { return line.size() >= 2 && line[1] == 'H'; }

std::string CountText(uint32_t changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification";
  return " " + std::to_string(changes) + " modifications";
}

class RegistryPass {
 public:
  explicit RegistryPass(LineSink& log) : log_(log) {}
  ~RegistryPass() { Close(); }

  // One key header line and its value lines, in report order.
  void Key(const std::string& header, const std::string* values, size_t count) {
    Close();
    const std::string path = header.substr(1);
    std::string subKey;
    HKEY root = RootOf(path, subKey);
    switch (header[0]) {
      case report::OldVersion: {
        bool opened = root && RegOpenKeyExA(root, subKey.c_str(), 0, FullAccess, &key_) == ERROR_SUCCESS;
        if (!opened) {
          key_ = nullptr;
          log_.WriteLine(" " + path + " ineffaçable");
          return;
        }
        log_.WriteLine(" " + path);
        for (size_t i = 0; i < count; ++i)
          if (values[i][0] == report::Added) DeleteValue(values[i].substr(1));
        for (size_t i = 0; i < count; ++i)
          if (values[i][0] == report::Removed) StoreValue(values[i].substr(1));
        return;
      }
      case report::Added:
        if (root && RegDeleteKeyA(root, subKey.c_str()) == ERROR_SUCCESS) {
          Logged("-" + path);
          for (size_t i = 0; i < count; ++i) Logged("-" + values[i].substr(1));
        } else {
          log_.WriteLine(" " + path + " ineffaçable");
        }
        return;
      case report::Removed:
        if (root && RegCreateKeyExA(root, subKey.c_str(), 0, const_cast<char*>(""),
                                    REG_OPTION_NON_VOLATILE, FullAccess, nullptr, &key_,
                                    nullptr) == ERROR_SUCCESS) {
          Logged("+" + path);
          for (size_t i = 0; i < count; ++i)
            if (values[i][0] == report::Removed) StoreValue(values[i].substr(1));
        } else {
          key_ = nullptr;
        }
        return;
      default:
        return;
    }
  }

  uint32_t Changes() const { return changes_; }

 private:
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

  void Logged(const std::string& line) {
    log_.WriteLine(line);
    ++changes_;
  }

  void DeleteValue(const std::string& text) {
    ParsedValue v = ParseValue(text);
    if (RegDeleteValueA(key_, v.name.c_str()) == ERROR_SUCCESS) Logged("-" + text);
    else log_.WriteLine(" " + text + " ineffaçable");
  }

  void StoreValue(const std::string& text) {
    ParsedValue v = ParseValue(text);
    if (RegSetValueExA(key_, v.name.c_str(), 0, v.type, v.data.data(),
                       static_cast<DWORD>(v.data.size())) == ERROR_SUCCESS)
      Logged("+" + text);
    else
      log_.WriteLine(" " + text + " ajout impossible");
  }

  LineSink& log_;
  HKEY key_ = nullptr;
  uint32_t changes_ = 0;
};

}  // namespace

void CollectRegistrySection(ReportReader& report, std::vector<std::string>& lines) {
  std::string line;
  size_t start = lines.size();
  while (report.Next(line) && !line.empty()) lines.push_back(line);
  if (lines.size() > start) lines.pop_back();  // the count line
}

void RestoreRegistry(const std::vector<std::string>& lines, LineSink& log) {
  if (lines.empty()) return;
  ShowWaitMessage("Mise à jour de la Base de registres");
  log.WriteLine("");
  log.WriteLine("Mise à jour de la Base de registres");
  RegistryPass pass(log);
  try {
    // From the last key of the report to the first, so that sub-keys go
    // before the keys that hold them; each key's values in report order.
    size_t end = lines.size();
    while (end > 0) {
      size_t header = end;
      while (header > 0 && !IsKeyHeader(lines[header - 1])) --header;
      if (header == 0) break;  // value lines without a key before them
      pass.Key(lines[header - 1], lines.data() + header, end - header);
      end = header - 1;
    }
  } catch (const DamagedReport&) {
    log.WriteLine(UndoInterruptedText);
  }
  log.WriteLine(CountText(pass.Changes()));
}
