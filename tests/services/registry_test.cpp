#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "services/registry.h"
#include "support/wine_fixture.h"

// Every test writes only below the sandboxed roots: HKLM, HKU and HKCU of
// this process are empty keys of a test area.
class Registry : public testing::Test {
 protected:
  RegistrySandbox sandbox_;

  static constexpr const char* Path = "HKey_Current_User\\Software\\Ostralec\\Pivalune";

  // Stores a value with the raw API, around the layer under test.
  static void StoreRaw(HKEY root, const char* sub, const char* name, DWORD type,
                       const void* data, DWORD length) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), length),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void StoreRawString(const char* name, const std::string& text, DWORD type = REG_SZ) {
    StoreRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", name, type, text.c_str(),
             static_cast<DWORD>(text.size() + 1));
  }

  struct RawValue {
    bool found = false;
    DWORD type = 0;
    std::string bytes;
  };
  static RawValue QueryRaw(HKEY root, const char* sub, const char* name) {
    RawValue v;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, sub, 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
    char data[512];
    DWORD length = sizeof data;
    v.found = RegQueryValueExA(key, name, nullptr, &v.type, reinterpret_cast<BYTE*>(data),
                               &length) == ERROR_SUCCESS;
    if (v.found) v.bytes.assign(data, length);
    RegCloseKey(key);
    return v;
  }
};

TEST_F(Registry, RootNamesAreMatchedWithoutRegardToCaseAndMapToTheirPredefinedKey) {
  struct Case { const char* root; HKEY key; };
  const Case cases[] = {{"HKey_Current_User", HKEY_CURRENT_USER},
                        {"HKey_Local_Machine", HKEY_LOCAL_MACHINE},
                        {"HKey_Users", HKEY_USERS}};
  for (const auto& c : cases) {
    std::string mixed = std::string(c.root) + "\\Software\\Essai";
    ASSERT_TRUE(WriteRegString(mixed, "Nom", c.root)) << c.root;
    // The value lands under the predefined key of that position, nowhere else.
    RawValue raw = QueryRaw(c.key, "Software\\Essai", "Nom");
    EXPECT_TRUE(raw.found) << c.root;
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ)) << c.root;
    EXPECT_EQ(raw.bytes, std::string(c.root) + '\0') << c.root;

    std::string lower = mixed, upper = mixed;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_EQ(ReadRegString(lower, "Nom", "?"), c.root) << lower;
    EXPECT_EQ(ReadRegString(upper, "Nom", "?"), c.root) << upper;
  }
  // The other roots are not redirected: read them, never write them.
  EXPECT_EQ(RegistryRootOf("hkey_classes_root\\.exe", nullptr), HKEY_CLASSES_ROOT);
  EXPECT_EQ(RegistryRootOf("HKEY_PERFORMANCE_DATA", nullptr), HKEY_PERFORMANCE_DATA);
  EXPECT_EQ(RegistryRootOf("hKey_Current_Config\\x", nullptr), HKEY_CURRENT_CONFIG);
  EXPECT_EQ(RegistryRootOf("HKey_Dyn_Data\\x", nullptr), HKEY_DYN_DATA);
  std::vector<std::string> names;
  EXPECT_TRUE(ReadRegValueNames("HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command", names));
  EXPECT_EQ(names, std::vector<std::string>{""});
}

TEST_F(Registry, AnUnknownRootFailsQuietlyForEveryOperation) {
  // Abbreviations, near misses and a missing root are none of the table.
  for (const char* path : {"HKLM\\Software\\Essai", "HKey_Local_Machines\\Software\\Essai",
                           "HKey_Local\\Software\\Essai", "\\Software\\Essai",
                           "Software\\Essai"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(RegistryRootOf(path, nullptr), nullptr);
    EXPECT_FALSE(WriteRegString(path, "Nom", "texte"));
    EXPECT_FALSE(WriteRegInteger(path, "Nombre", 7));
    const char bytes[3] = {1, 2, 3};
    EXPECT_FALSE(WriteRegBinary(path, "Octets", bytes, 3));
    EXPECT_EQ(ReadRegString(path, "Nom", "défaut"), "défaut");
    EXPECT_EQ(ReadRegInteger(path, "Nombre", -3), -3);
    char buffer[3] = {};
    EXPECT_FALSE(ReadRegBinary(path, "Octets", buffer, 3));
    EXPECT_FALSE(DeleteRegValue(path, "Nom"));
    std::vector<std::string> names{"reste d'avant"};
    EXPECT_FALSE(ReadRegValueNames(path, names));
    EXPECT_TRUE(names.empty());
  }
  // Nothing was created under the sandboxed roots on the way.
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Essai", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Essai", 0, KEY_READ, &key),
            ERROR_SUCCESS);
}

TEST_F(Registry, StringsAreStoredCutToFiftyCharactersWithTheTerminatorCounted) {
  const std::string fifty(50, 'x');
  struct Case { std::string written, stored; };
  const Case cases[] = {
      {"", ""},
      {"Déjà vu à Noël", "Déjà vu à Noël"},
      {fifty, fifty},
      {fifty + "y", fifty},
      {std::string(49, 'a') + "éèêëàç" + std::string(30, 'b'), std::string(49, 'a') + "é"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    ASSERT_TRUE(WriteRegString(Path, "Texte", c.written));
    RawValue raw = QueryRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Texte");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, c.stored + '\0');
    EXPECT_EQ(ReadRegString(Path, "Texte", "défaut"), c.stored);
  }
}

TEST_F(Registry, AStoredStringOverFiftyCharactersReadsAsTheDefault) {
  StoreRawString("Cinquante", std::string(50, 'c'));
  StoreRawString("CinquanteEtUn", std::string(51, 'c'));
  StoreRawString("Long", std::string(300, 'l'));
  EXPECT_EQ(ReadRegString(Path, "Cinquante", "défaut"), std::string(50, 'c'));
  EXPECT_EQ(ReadRegString(Path, "CinquanteEtUn", "défaut"), "défaut");
  EXPECT_EQ(ReadRegString(Path, "Long", "défaut"), "défaut");
}

TEST_F(Registry, TheEmptyNameAddressesTheDefaultValueOfTheKey) {
  ASSERT_TRUE(WriteRegString(Path, "", "valeur par défaut"));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char text[64] = {};
  LONG length = sizeof text;
  EXPECT_EQ(RegQueryValueA(key, nullptr, text, &length), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_STREQ(text, "valeur par défaut");
  EXPECT_EQ(ReadRegString(Path, "", "?"), "valeur par défaut");
}

TEST_F(Registry, MissingKeysAndValuesGiveTheDefault) {
  EXPECT_EQ(ReadRegString(Path, "Absent", "défaut"), "défaut");
  EXPECT_EQ(ReadRegInteger(Path, "Absent", 42), 42);
  char buffer[4] = {9, 9, 9, 9};
  EXPECT_FALSE(ReadRegBinary(Path, "Absent", buffer, 4));
  ASSERT_TRUE(WriteRegInteger(Path, "Autre", 1));
  EXPECT_EQ(ReadRegString(Path, "Absent", "défaut"), "défaut");
  EXPECT_EQ(ReadRegInteger(Path, "Absent", 42), 42);
  EXPECT_FALSE(ReadRegBinary(Path, "Absent", buffer, 4));
}

TEST_F(Registry, AValueOfAnotherTypeReadsAsTheDefault) {
  const int32_t number = 0x00003231;  // the bytes "12\0\0": a string of its own length
  StoreRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Nombre", REG_DWORD, &number, 4);
  StoreRawString("Court", "12");
  StoreRawString("Texte", "un texte");
  StoreRawString("Etendu", "%windir%", REG_EXPAND_SZ);
  StoreRawString("Multiple", std::string("a\0b\0", 4), REG_MULTI_SZ);
  const char four[4] = {7, 0, 0, 0};
  StoreRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Octets", REG_BINARY, four, 4);

  for (const char* name : {"Nombre", "Etendu", "Multiple", "Octets"})
    EXPECT_EQ(ReadRegString(Path, name, "défaut"), "défaut") << name;
  for (const char* name : {"Court", "Texte", "Etendu", "Octets"})
    EXPECT_EQ(ReadRegInteger(Path, name, -1), -1) << name;
  for (const char* name : {"Nombre", "Court", "Texte"}) {
    char buffer[64] = {};
    EXPECT_FALSE(ReadRegBinary(Path, name, buffer, sizeof buffer)) << name;
  }
  // Each value still reads through its own type.
  EXPECT_EQ(ReadRegInteger(Path, "Nombre", -1), number);
  EXPECT_EQ(ReadRegString(Path, "Court", "défaut"), "12");
  char buffer[4] = {};
  EXPECT_TRUE(ReadRegBinary(Path, "Octets", buffer, 4));
  EXPECT_EQ(std::memcmp(buffer, four, 4), 0);
}

TEST_F(Registry, IntegersAreStoredAsFourByteNumbers) {
  for (int32_t value : {0, 1, -1, 2147483647, -2147483647 - 1, 0x01020304}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(WriteRegInteger(Path, "Nombre", value));
    RawValue raw = QueryRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Nombre");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.bytes, std::string(reinterpret_cast<const char*>(&value), 4));
    EXPECT_EQ(ReadRegInteger(Path, "Nombre", 99), value);
  }
}

TEST_F(Registry, BinaryValuesRoundTripInTheCallersBuffer) {
  const unsigned char bytes[7] = {0, 0xFF, 'A', 0, 0x80, 1, 0};
  ASSERT_TRUE(WriteRegBinary(Path, "Octets", bytes, sizeof bytes));
  RawValue raw = QueryRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Octets");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(raw.bytes, std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));

  unsigned char exact[7] = {};
  EXPECT_TRUE(ReadRegBinary(Path, "Octets", exact, sizeof exact));
  EXPECT_EQ(std::memcmp(exact, bytes, sizeof bytes), 0);
  // A larger buffer takes the value at its start and keeps the rest.
  unsigned char larger[10];
  std::memset(larger, 0x55, sizeof larger);
  EXPECT_TRUE(ReadRegBinary(Path, "Octets", larger, sizeof larger));
  EXPECT_EQ(std::memcmp(larger, bytes, sizeof bytes), 0);
  EXPECT_EQ(larger[7], 0x55);
  EXPECT_EQ(larger[9], 0x55);

  ASSERT_TRUE(WriteRegBinary(Path, "Vide", bytes, 0));
  EXPECT_EQ(QueryRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Vide").bytes, "");
}

TEST_F(Registry, DeleteRegValueRemovesOnlyThatValue) {
  ASSERT_TRUE(WriteRegString(Path, "Pred", "ABCDEFG"));
  ASSERT_TRUE(WriteRegInteger(Path, "Code", 2));
  EXPECT_TRUE(DeleteRegValue(Path, "Pred"));
  EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", "Pred").found);
  EXPECT_EQ(ReadRegString(Path, "Pred", "aucun"), "aucun");
  EXPECT_EQ(ReadRegInteger(Path, "Code", 0), 2);
  // Gone already, and on a key that does not exist yet.
  EXPECT_FALSE(DeleteRegValue(Path, "Pred"));
  EXPECT_FALSE(DeleteRegValue("HKey_Local_Machine\\Software\\Absent", "Pred"));
}

TEST_F(Registry, ReadRegValueNamesListsEveryValueOfTheKey) {
  std::vector<std::string> names{"reste d'avant"};
  EXPECT_FALSE(ReadRegValueNames(Path, names));  // no such key yet
  EXPECT_TRUE(names.empty());

  ASSERT_TRUE(WriteRegString("HKey_Current_User\\Software\\Ostralec\\Pivalune\\Sous", "X", "x"));
  names = {"reste d'avant"};
  EXPECT_TRUE(ReadRegValueNames(Path, names));  // a key with only a sub-key
  EXPECT_TRUE(names.empty());

  ASSERT_TRUE(WriteRegString(Path, "Drives", "CD"));
  ASSERT_TRUE(WriteRegInteger(Path, "RecBin", 1));
  const char one = 1;
  ASSERT_TRUE(WriteRegBinary(Path, "Fenêtre", &one, 1));
  ASSERT_TRUE(WriteRegString(Path, "", "défaut"));
  const std::string longName(200, 'n');
  ASSERT_TRUE(WriteRegInteger(Path, longName, 5));
  EXPECT_TRUE(ReadRegValueNames(Path, names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"", "Drives", "Fenêtre", "RecBin", longName}));
}
