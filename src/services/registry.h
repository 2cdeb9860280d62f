// Registry operations over textual paths such as
// "HKey_Current_User\Software\Ostralec\Pivalune". Each call opens the key,
// does its one thing and closes it again; none of them raises.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The root names, in the order of the predefined keys (classes root first).
extern const char* const RegistryRootNames[7];

// The predefined key named before the first "\" (without regard to case),
// or nullptr when the name is none of the table. subKey gets the rest.
HKEY RegistryRootOf(const std::string& path, std::string* subKey);

std::string ReadRegString(const std::string& path, const std::string& name,
                          const std::string& defaultValue);
bool WriteRegString(const std::string& path, const std::string& name,
                    const std::string& text);
int32_t ReadRegInteger(const std::string& path, const std::string& name,
                       int32_t defaultValue);
bool WriteRegInteger(const std::string& path, const std::string& name, int32_t value);
bool ReadRegBinary(const std::string& path, const std::string& name, void* buffer,
                   uint32_t size);
bool WriteRegBinary(const std::string& path, const std::string& name,
                    const void* buffer, uint32_t length);
bool DeleteRegValue(const std::string& path, const std::string& name);
bool ReadRegValueNames(const std::string& path, std::vector<std::string>& list);
// A multi-string value (REG_MULTI_SZ), whole, in CP1252: not cut to 50
// characters as the settings' strings are. False, `strings` empty, when the
// value is missing or of another type.
bool ReadRegStrings(const std::string& path, const std::string& name,
                    std::vector<std::string>& strings);
bool WriteRegStrings(const std::string& path, const std::string& name,
                     const std::vector<std::string>& strings);
