#include "services/snapshot.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "services/folding.h"
#include "services/registry_text.h"
#include "services/text_file.h"

namespace {

// Key lines carry their depth as a letter: "y" for a root, "x" for its
// children, down to "a" at depth 25. Below "a" the letters would run into
// "W", "S" and "B", which mark value lines, so deeper keys are left out.
constexpr char RootLetter = 'y';
constexpr char DeepestLetter = 'a';
// Registry value names may be up to 16383 characters; a shorter buffer
// would make the enumeration fail on such a value.
constexpr DWORD ValueNameBuffer = 16384;
constexpr REGSAM SubKeyAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

bool FoldedLess(const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; }

std::u16string Units(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// Names and data are read through the wide functions, as the registry
// holds them: the ANSI ones give a "?" (or a look-alike letter) for a
// character CP1252 has not, which could name another key or value.
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
      LONG rc = RegEnumValueW(key, index, name_.data(), &nameLength, nullptr, &type, data_.data(), &size);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_MORE_DATA && size > data_.size()) {
        data_.assign(size, 0);  // kept for the later values
        continue;
      }
      if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
      if (rc == ERROR_SUCCESS) {
        RegistryValueData value{Units(name_.data(), nameLength), type,
                                std::vector<uint8_t>(data_.begin(), data_.begin() + size)};
        lines.push_back(SnapshotValueLine(value));
      }
      ++index;
    }
    std::stable_sort(lines.begin(), lines.end(), FoldedLess);
    for (const auto& line : lines) out_.WriteLine(line);
  }

  struct SubKey {
    std::wstring name;
    std::string line;  // its key line, by which siblings are sorted
  };

  void DumpSubKeys(HKEY key, char letter) {
    if (letter < DeepestLetter) return;
    std::vector<SubKey> subKeys;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD length = 256;
      LONG rc = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)) break;
      if (rc == ERROR_SUCCESS)
        subKeys.push_back({std::wstring(name, length), SnapshotKeyLine(letter, Units(name, length))});
    }
    std::stable_sort(subKeys.begin(), subKeys.end(),
                     [](const SubKey& a, const SubKey& b) { return FoldedLess(a.line, b.line); });
    for (const auto& sub : subKeys) {
      if (IsOwnSettingsKey(sub.name)) continue;
      // A link (CurrentControlSet on Windows) is recorded as what it is,
      // its key line and its link value, and not followed: what it leads
      // to is recorded where it lies.
      HKEY opened = nullptr;
      if (RegOpenKeyExW(key, sub.name.c_str(), REG_OPTION_OPEN_LINK, SubKeyAccess, &opened) !=
          ERROR_SUCCESS)
        continue;
      out_.WriteLine(sub.line);
      DumpValues(opened);
      if (!IsLink(opened)) {
        path_.push_back(sub.name);
        DumpSubKeys(opened, static_cast<char>(letter - 1));
        path_.pop_back();
      }
      RegCloseKey(opened);
    }
  }

  static bool IsLink(HKEY key) {
    DWORD type = 0;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
  }

  // The program's own settings (HKey_Users\<user>\Software\Ostralec\Pivalune)
  // are left out, as the program directory is left out of catalogues: they
  // change with every recording, and a restore would write them back.
  bool IsOwnSettingsKey(const std::wstring& name) const {
    return users_ && path_.size() == 3 && _wcsicmp(path_[1].c_str(), L"Software") == 0 &&
           _wcsicmp(path_[2].c_str(), L"Ostralec") == 0 && _wcsicmp(name.c_str(), L"Pivalune") == 0;
  }

  TextFileWriter& out_;
  std::vector<BYTE> data_;
  std::vector<wchar_t> name_;
  bool users_ = false;
  std::vector<std::wstring> path_;  // the names below the root down to the current key
};

}  // namespace

void WriteRegistrySnapshot(const std::string& fileName) {
  TextFileWriter out(fileName);
  out.WriteLine("BDR95");
  out.WriteLine(std::string(EscapedSnapshotMark));
  SnapshotWriter writer(out);
  writer.DumpRoot(HKEY_LOCAL_MACHINE, "HKey_Local_Machine");
  writer.DumpRoot(HKEY_USERS, "HKey_Users");
  out.Close();
}
