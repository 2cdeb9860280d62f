#include "services/snapshot.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "services/folding.h"
#include "services/text_file.h"

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
// Key lines carry their depth as a letter: "y" for a root, "x" for its
// children, down to "a" at depth 25. Below "a" the letters would run into
// "W", "S" and "B", which mark value lines, so deeper keys are left out.
constexpr char RootLetter = 'y';
constexpr char DeepestLetter = 'a';
// Registry value names may be up to 16383 characters; a shorter buffer
// would make the enumeration fail on such a value.
constexpr DWORD ValueNameBuffer = 16384;

bool FoldedLess(const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; }

// The line of one value, or "" for the types a snapshot leaves out.
std::string ValueLine(const std::string& name, DWORD type, const BYTE* data, DWORD size) {
  switch (type) {
    case REG_SZ: {
      const char* text = reinterpret_cast<const char*>(data);
      size_t length = std::find(text, text + size, '\0') - text;
      return "S" + name + "=" + std::string(text, length);
    }
    case REG_BINARY: {
      std::string line = "B" + name;
      for (DWORD i = 0; i < size; ++i) {
        line += i == 0 ? '=' : ',';
        line += HexDigits[data[i] >> 4];
        line += HexDigits[data[i] & 15];
      }
      return line;
    }
    case REG_DWORD: {
      uint32_t value = 0;
      for (DWORD i = 0; i < size && i < 4; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
      std::string line = "W" + name + "=";
      for (int shift = 28; shift >= 0; shift -= 4) line += HexDigits[(value >> shift) & 15];
      return line;
    }
    default:
      return "";
  }
}

class SnapshotWriter {
 public:
  explicit SnapshotWriter(TextFileWriter& out) : out_(out), data_(1000), name_(ValueNameBuffer) {}

  void DumpRoot(HKEY root, const char* rootName) {
    users_ = root == HKEY_USERS;
    out_.WriteLine(std::string(1, RootLetter) + rootName);
    DumpValues(root);
    DumpSubKeys(root, RootLetter - 1);
  }

 private:
  void DumpValues(HKEY key) {
    std::vector<std::string> lines;
    for (DWORD index = 0;;) {
      DWORD nameLength = ValueNameBuffer;
      DWORD type = 0;
      DWORD size = static_cast<DWORD>(data_.size());
      LONG rc = RegEnumValueA(key, index, name_.data(), &nameLength, nullptr, &type,
                              data_.data(), &size);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_MORE_DATA && size > data_.size()) {
        data_.assign(size, 0);  // kept for the later values
        continue;
      }
      if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
      if (rc == ERROR_SUCCESS) {
        std::string line = ValueLine(std::string(name_.data(), nameLength), type, data_.data(), size);
        if (!line.empty()) lines.push_back(std::move(line));
      }
      ++index;
    }
    std::stable_sort(lines.begin(), lines.end(), FoldedLess);
    for (const auto& line : lines) out_.WriteLine(line);
  }

  void DumpSubKeys(HKEY key, char letter) {
    if (letter < DeepestLetter) return;
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof name;
      LONG rc = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)) break;
      if (rc == ERROR_SUCCESS) names.emplace_back(name, length);
    }
    std::stable_sort(names.begin(), names.end(), FoldedLess);
    for (const auto& name : names) {
      if (IsOwnSettingsKey(name)) continue;
      HKEY sub = nullptr;
      if (RegOpenKeyExA(key, name.c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &sub) !=
          ERROR_SUCCESS)
        continue;
      out_.WriteLine(letter + name);
      DumpValues(sub);
      path_.push_back(name);
      DumpSubKeys(sub, static_cast<char>(letter - 1));
      path_.pop_back();
      RegCloseKey(sub);
    }
  }

  // The program's own settings (HKey_Users\<user>\Software\Ostralec\Pivalune)
  // are left out, as the program directory is left out of catalogues: they
  // change with every recording, and a restore would write them back.
  bool IsOwnSettingsKey(const std::string& name) const {
    return users_ && path_.size() == 3 && CompareFolded(path_[1], "Software") == 0 &&
           CompareFolded(path_[2], "Ostralec") == 0 && CompareFolded(name, "Pivalune") == 0;
  }

  TextFileWriter& out_;
  std::vector<BYTE> data_;
  std::vector<char> name_;
  bool users_ = false;
  std::vector<std::string> path_;  // the names below the root down to the current key
};

}  // namespace

void WriteRegistrySnapshot(const std::string& fileName) {
  TextFileWriter out(fileName);
  out.WriteLine("BDR95");
  SnapshotWriter writer(out);
  writer.DumpRoot(HKEY_LOCAL_MACHINE, "HKey_Local_Machine");
  writer.DumpRoot(HKEY_USERS, "HKey_Users");
  out.Close();
}
