#include "services/registry.h"

#include "services/folding.h"
#include "services/registry_text.h"

const char* const RegistryRootNames[7] = {
    "HKey_Classes_Root",     "HKey_Current_User", "HKey_Local_Machine", "HKey_Users",
    "HKey_Performance_Data", "HKey_Current_Config", "HKey_Dyn_Data"};

namespace {

constexpr REGSAM ReadAccess = 131097;   // KEY_READ
constexpr REGSAM FullAccess = 983103;   // KEY_ALL_ACCESS
constexpr DWORD MaxStringLength = 50;

const HKEY RootKeys[7] = {HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                          HKEY_USERS,            HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                          HKEY_DYN_DATA};

// An open key that closes itself.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (h_) RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool OpenForReading(const std::string& path) {
    std::string sub;
    HKEY root = RegistryRootOf(path, &sub);
    return root && RegOpenKeyExA(root, sub.c_str(), 0, ReadAccess, &h_) == ERROR_SUCCESS;
  }
  bool CreateWithFullAccess(const std::string& path) {
    std::string sub;
    HKEY root = RegistryRootOf(path, &sub);
    return root && RegCreateKeyExA(root, sub.c_str(), 0, const_cast<char*>(""),
                                   REG_OPTION_NON_VOLATILE, FullAccess, nullptr, &h_,
                                   nullptr) == ERROR_SUCCESS;
  }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

bool Store(const std::string& path, const std::string& name, DWORD type, const void* data,
           DWORD length) {
  Key key;
  return key.CreateWithFullAccess(path) &&
         RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                        length) == ERROR_SUCCESS;
}

// Reads a value of the expected type into the caller's buffer.
bool Fetch(const std::string& path, const std::string& name, DWORD expectedType, void* buffer,
           DWORD size) {
  Key key;
  if (!key.OpenForReading(path)) return false;
  DWORD type = 0;
  DWORD length = size;
  return RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                          static_cast<BYTE*>(buffer), &length) == ERROR_SUCCESS &&
         type == expectedType;
}

}  // namespace

HKEY RegistryRootOf(const std::string& path, std::string* subKey) {
  size_t slash = path.find('\\');
  std::string root = path.substr(0, slash);
  if (subKey) *subKey = slash == std::string::npos ? "" : path.substr(slash + 1);
  HKEY found = nullptr;
  for (int i = 0; i < 7; ++i)
    if (CompareFolded(root, RegistryRootNames[i]) == 0) found = RootKeys[i];
  return found;
}

std::string ReadRegString(const std::string& path, const std::string& name,
                          const std::string& defaultValue) {
  char text[MaxStringLength + 1] = {};
  // A longer string does not fit: the query fails and the default stands.
  if (!Fetch(path, name, REG_SZ, text, sizeof text)) return defaultValue;
  text[MaxStringLength] = '\0';
  return text;
}

bool WriteRegString(const std::string& path, const std::string& name,
                    const std::string& text) {
  std::string cut = text.substr(0, MaxStringLength);
  return Store(path, name, REG_SZ, cut.c_str(), static_cast<DWORD>(cut.size() + 1));
}

int32_t ReadRegInteger(const std::string& path, const std::string& name,
                       int32_t defaultValue) {
  int32_t value = 0;
  return Fetch(path, name, REG_DWORD, &value, sizeof value) ? value : defaultValue;
}

bool WriteRegInteger(const std::string& path, const std::string& name, int32_t value) {
  return Store(path, name, REG_DWORD, &value, sizeof value);
}

bool ReadRegBinary(const std::string& path, const std::string& name, void* buffer,
                   uint32_t size) {
  return Fetch(path, name, REG_BINARY, buffer, size);
}

bool WriteRegBinary(const std::string& path, const std::string& name, const void* buffer,
                    uint32_t length) {
  return Store(path, name, REG_BINARY, buffer, length);
}

bool DeleteRegValue(const std::string& path, const std::string& name) {
  Key key;
  return key.CreateWithFullAccess(path) &&
         RegDeleteValueA(key.get(), name.c_str()) == ERROR_SUCCESS;
}

bool ReadRegValueNames(const std::string& path, std::vector<std::string>& list) {
  list.clear();
  Key key;
  if (!key.OpenForReading(path)) return false;
  // Value names may be up to 16383 characters: a shorter buffer would stop
  // the enumeration at the first long one, and every later name would be
  // missed (a shared file left unprotected).
  std::vector<char> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    LONG rc = RegEnumValueA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return true;
    if (rc != ERROR_SUCCESS) return false;
    list.emplace_back(name.data(), length);
  }
}

bool ReadRegStrings(const std::string& path, const std::string& name,
                    std::vector<std::string>& strings) {
  strings.clear();
  Key key;
  if (!key.OpenForReading(path)) return false;
  const std::u16string wideName = FromCp1252(name);
  const auto* valueName = reinterpret_cast<const wchar_t*>(wideName.c_str());
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  std::vector<uint8_t> data(size);
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return false;
  data.resize(size);
  std::vector<std::u16string> units;
  if (!StringsOfMultiData(data, units)) return false;
  for (const auto& text : units) {
    std::string cp1252;
    ToCp1252(text, cp1252);
    strings.push_back(cp1252);
  }
  return true;
}

bool WriteRegStrings(const std::string& path, const std::string& name,
                     const std::vector<std::string>& strings) {
  std::vector<std::u16string> units;
  for (const auto& text : strings) units.push_back(FromCp1252(text));
  const std::vector<uint8_t> data = DataOfStrings(units);
  Key key;
  const std::u16string wideName = FromCp1252(name);
  return key.CreateWithFullAccess(path) &&
         RegSetValueExW(key.get(), reinterpret_cast<const wchar_t*>(wideName.c_str()), 0,
                        REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}
