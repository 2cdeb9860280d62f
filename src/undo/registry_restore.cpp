#include "undo/registry_restore.h"

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string_view>

#include "comparison/compare_states.h"
#include "comparison/registry_comparison.h"
#include "comparison/report_format.h"
#include "services/folding.h"
#include "services/text_file.h"
#include "services/wait_message.h"
#include "undo/registry_scripts.h"

namespace {

constexpr REGSAM FullAccess = 983103;

struct RootName {
  const char* name;
  HKEY key;
};
const RootName RootNames[] = {{"HKey_Users", HKEY_USERS},
                              {"HKey_Local_Machine", HKEY_LOCAL_MACHINE},
                              {"HKey_Classes_Root", HKEY_CLASSES_ROOT},
                              {"HKey_Current_User", HKEY_CURRENT_USER}};

// The root of a key path and the sub-key below it; null for any other root.
HKEY RootOf(const std::vector<std::u16string>& path, std::wstring& subKey) {
  std::string root;
  if (path.size() < 2 || !ToCp1252(path[0], root)) return nullptr;
  for (const auto& known : RootNames) {
    if (CompareFolded(root, known.name) != 0) continue;
    subKey.clear();
    for (size_t i = 1; i < path.size(); ++i) {
      if (i > 1) subKey += L'\\';
      subKey.append(reinterpret_cast<const wchar_t*>(path[i].data()), path[i].size());
    }
    return known.key;
  }
  return nullptr;
}

std::wstring Wide(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// A key whose values hold a link's target is a link: it is deleted and
// made as one. Deleting it as a key would delete the key it leads to.
bool IsLink(const RegistryKeyChange& change) {
  for (const auto& [marker, value] : change.values)
    if (value.type == REG_LINK && value.name == u"SymbolicLinkValue") return true;
  return false;
}

bool DeleteLink(HKEY root, const std::wstring& subKey) {
  HKEY link = nullptr;
  if (RegOpenKeyExW(root, subKey.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) != ERROR_SUCCESS)
    return false;
  using NtDeleteKey = LONG(WINAPI*)(HANDLE);
  auto deleteKey = reinterpret_cast<NtDeleteKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
  bool deleted = deleteKey && deleteKey(link) == 0;
  RegCloseKey(link);
  return deleted;
}

bool KeyExists(HKEY root, const std::wstring& subKey) {
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExW(root, subKey.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc != ERROR_FILE_NOT_FOUND;
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
    const std::string& path = change.display;
    std::wstring subKey;
    HKEY root = RootOf(change.path, subKey);
    switch (change.marker) {
      case report::OldVersion: {
        bool opened = root && RegOpenKeyExW(root, subKey.c_str(), 0, FullAccess, &key_) == ERROR_SUCCESS;
        if (!opened) {
          key_ = nullptr;
          log_.WriteLine(" " + path + " ineffaçable");
          return;
        }
        log_.WriteLine(" " + path);
        // All deletions first: a changed value ends with its old content.
        for (size_t i = 0; i < change.values.size(); ++i)
          if (change.values[i].first == report::Added) DeleteValue(change, i);
        for (size_t i = 0; i < change.values.size(); ++i)
          if (change.values[i].first == report::Removed) StoreValue(change, i);
        return;
      }
      case report::Added:
        if (root && (IsLink(change) ? DeleteLink(root, subKey)
                                    : RegDeleteKeyW(root, subKey.c_str()) == ERROR_SUCCESS)) {
          Logged("-" + path);
          for (const auto& text : change.valueTexts) Logged("-" + text);
        } else {
          // Gone already (removed by the application's own uninstaller)
          // is not "cannot be deleted".
          log_.WriteLine(" " + path + (root && !KeyExists(root, subKey) ? " n'existe plus" : " ineffaçable"));
        }
        return;
      case report::Removed:
        if (root && RegCreateKeyExW(root, subKey.c_str(), 0, nullptr,
                                    IsLink(change) ? REG_OPTION_CREATE_LINK : REG_OPTION_NON_VOLATILE,
                                    FullAccess | (IsLink(change) ? KEY_CREATE_LINK : 0), nullptr,
                                    &key_, nullptr) == ERROR_SUCCESS) {
          Logged("+" + path);
          for (size_t i = 0; i < change.values.size(); ++i)
            if (change.values[i].first == report::Removed) StoreValue(change, i);
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

  void DeleteValue(const RegistryKeyChange& change, size_t i) {
    const RegistryValueData& v = change.values[i].second;
    const std::string& text = change.valueTexts[i];
    const LONG rc = RegDeleteValueW(key_, Wide(v.name).c_str());
    if (rc == ERROR_SUCCESS) Logged("-" + text);
    else log_.WriteLine(" " + text + (rc == ERROR_FILE_NOT_FOUND ? " n'existe plus" : " ineffaçable"));
  }

  // Stored with its exact type and bytes.
  void StoreValue(const RegistryKeyChange& change, size_t i) {
    const RegistryValueData& v = change.values[i].second;
    const std::string& text = change.valueTexts[i];
    if (RegSetValueExW(key_, Wide(v.name).c_str(), 0, v.type, v.data.data(),
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
  // What Windows and Wine change by themselves is never taken back, also
  // from a report written before it was left out of comparisons.
  const RegistryExclusions& exclusions = RegistryExclusionsInForce();
  for (auto& key : keys) {
    if (exclusions.ExcludesPath(key.path)) continue;
    RegistryKeyChange kept = key;
    kept.values.clear();
    kept.valueTexts.clear();
    for (size_t i = 0; i < key.values.size(); ++i)
      if (!exclusions.ExcludesValue(key.path, key.values[i].second.name)) {
        kept.values.push_back(key.values[i]);
        kept.valueTexts.push_back(key.valueTexts[i]);
      }
    if (kept.marker == report::OldVersion && kept.values.empty()) continue;
    changes.keys.push_back(std::move(kept));
  }
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

bool WriteRegistryScriptsOfReport(const std::string& reportName) {
  std::ifstream in(reportName, std::ios::binary);
  if (!in) return false;
  RegistryChanges changes;
  bool found = false;
  try {
    ReportSections report(in);
    ReportSection section;
    while (report.Next(section))
      if (section.kind == report::HeadingKind::File && section.title == report::RegistryTitle) {
        CollectRegistrySection(section, changes);
        found = true;
      }
  } catch (const DamagedReport&) {
    return false;
  }
  if (!found || changes.refused) return false;
  TextFileWriter undo(UndoScriptNameOf(reportName)), redo(RedoScriptNameOf(reportName));
  WriteRegistryScripts(changes.keys, undo, redo);
  undo.Close();
  redo.Close();
  return true;
}
