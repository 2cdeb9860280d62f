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

std::string CountText(uint32_t changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification";
  return " " + std::to_string(changes) + " modifications";
}

class RegistryPass {
 public:
  explicit RegistryPass(LineSink& log) : log_(log) {}
  ~RegistryPass() { Close(); }

  void Key(const RegistryKeyChange& change) {
    Close();
    const std::string& header = change.header;
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
        // All deletions first: a changed value ends with its old content.
        for (const auto& value : change.values)
          if (value[0] == report::Added) DeleteValue(value.substr(1));
        for (const auto& value : change.values)
          if (value[0] == report::Removed) StoreValue(value.substr(1));
        return;
      }
      case report::Added:
        if (root && RegDeleteKeyA(root, subKey.c_str()) == ERROR_SUCCESS) {
          Logged("-" + path);
          for (const auto& value : change.values) Logged("-" + value.substr(1));
        } else {
          log_.WriteLine(" " + path + " ineffaçable");
        }
        return;
      case report::Removed:
        if (root && RegCreateKeyExA(root, subKey.c_str(), 0, const_cast<char*>(""),
                                    REG_OPTION_NON_VOLATILE, FullAccess, nullptr, &key_,
                                    nullptr) == ERROR_SUCCESS) {
          Logged("+" + path);
          for (const auto& value : change.values)
            if (value[0] == report::Removed) StoreValue(value.substr(1));
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
    RegistryValue v;
    ParseRegistryValue(text, v);  // checked when the block was collected
    if (RegDeleteValueA(key_, v.name.c_str()) == ERROR_SUCCESS) Logged("-" + text);
    else log_.WriteLine(" " + text + " ineffaçable");
  }

  void StoreValue(const std::string& text) {
    RegistryValue v;
    ParseRegistryValue(text, v);
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

void CollectRegistrySection(const ReportSection& section, RegistryChanges& changes) {
  std::vector<RegistryKeyChange> keys;
  if (!section.whole || !RegistryKeyChangesOf(section.lines, keys)) {
    changes.refused = true;
    return;
  }
  changes.keys.insert(changes.keys.end(), keys.begin(), keys.end());
}

void RestoreRegistry(const RegistryChanges& changes, LineSink& log) {
  if (changes.keys.empty() && !changes.refused) return;
  ShowWaitMessage("Mise à jour de la Base de registres");
  log.WriteLine("");
  log.WriteLine("Mise à jour de la Base de registres");
  if (changes.refused) log.WriteLine(IncompleteSectionText);
  RegistryPass pass(log);
  // From the last key of the report to the first, so that sub-keys go
  // before the keys that hold them; each key's values in report order.
  for (auto it = changes.keys.rbegin(); it != changes.keys.rend(); ++it) pass.Key(*it);
  log.WriteLine(CountText(pass.Changes()));
}
