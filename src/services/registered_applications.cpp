#include "services/registered_applications.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A string value read whole (the settings' reader cuts at 50 characters);
// an expandable one is expanded, as Windows does before running it.
std::string ReadString(HKEY key, const char* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
    return "";
  std::string text(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
    return "";
  text.resize(std::min<size_t>(text.size(), size));
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  if (type == REG_EXPAND_SZ) {
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    std::string expanded(needed, '\0');
    if (needed && ExpandEnvironmentStringsA(text.c_str(), expanded.data(), needed)) {
      expanded.resize(needed - 1);
      text = expanded;
    }
  }
  return text;
}

DWORD ReadNumber(HKEY key, const char* name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return value;
}

// Windows leaves out of its list the parts of the system and the updates
// of other programs.
bool HiddenByWindows(HKEY entry) {
  return ReadNumber(entry, "SystemComponent") == 1 || !ReadString(entry, "ParentKeyName").empty();
}

void AddEntries(HKEY root, REGSAM view, std::vector<RegisteredApplication>& list) {
  HKEY uninstall = nullptr;
  if (RegOpenKeyExA(root, UninstallKey, 0, KEY_READ | view, &uninstall) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    LONG rc = RegEnumKeyExA(uninstall, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    HKEY entry = nullptr;
    if (RegOpenKeyExA(uninstall, name, 0, KEY_READ | view, &entry) != ERROR_SUCCESS) continue;
    RegisteredApplication application{ReadString(entry, "DisplayName"), ReadString(entry, "UninstallString")};
    const bool listed = !application.displayName.empty() && !application.uninstallString.empty() &&
                        !HiddenByWindows(entry);
    RegCloseKey(entry);
    if (!listed) continue;
    const bool known = std::any_of(list.begin(), list.end(), [&](const RegisteredApplication& a) {
      return a.displayName == application.displayName && a.uninstallString == application.uninstallString;
    });
    if (!known) list.push_back(application);
  }
  RegCloseKey(uninstall);
}

}  // namespace

std::vector<RegisteredApplication> ListRegisteredApplications() {
  std::vector<RegisteredApplication> list;
  AddEntries(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, list);
  AddEntries(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, list);
  AddEntries(HKEY_CURRENT_USER, 0, list);
  return list;
}
