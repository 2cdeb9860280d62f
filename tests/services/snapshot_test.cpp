#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "services/snapshot.h"
#include "support/wine_fixture.h"

namespace {

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS)
      << path << " " << name.substr(0, 20);
  RegCloseKey(key);
}

void MakeKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  RegCloseKey(key);
}

// String data as RegSetValueExA wants it: with its closing zero.
std::string Sz(const std::string& text) { return text + '\0'; }
std::string Dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

}  // namespace

TEST(RegistrySnapshot, GoldenSnapshotOfAFixtureRegistry) {
  RegistrySandbox sandbox;
  HKEY lm = HKEY_LOCAL_MACHINE, users = HKEY_USERS;
  const std::string types = "Software\\Ostralec\\Types";
  SetValue(lm, types, "Mask", REG_BINARY, "\x01\xAB\xFF");
  SetValue(lm, types, "Vide", REG_BINARY, "");
  SetValue(lm, types, "Count", REG_DWORD, Dword(1));
  SetValue(lm, types, "Grand", REG_DWORD, Dword(0xDEADBEEF));
  SetValue(lm, types, "b", REG_SZ, Sz("deux"));
  SetValue(lm, types, "A", REG_SZ, Sz("un"));
  SetValue(lm, types, "Formule", REG_SZ, Sz("a=b\r\nc=d"));
  SetValue(lm, types, "été", REG_SZ, Sz("chaud"));
  SetValue(lm, types, "Chemin", REG_EXPAND_SZ, Sz("%windir%\\system"));
  SetValue(lm, types, "Liste", REG_MULTI_SZ, std::string("un\0deux\0\0", 9));
  SetValue(lm, types, "Gros", REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8));
  SetValue(lm, types, "Ordre", REG_DWORD_BIG_ENDIAN, Dword(1));
  SetValue(lm, "Software\\Ostralec\\Defauts\\Texte", "", REG_SZ, Sz("défaut"));
  SetValue(lm, "Software\\Ostralec\\Defauts\\Binaire", "", REG_BINARY, std::string("\0\x10", 2));
  SetValue(lm, "Software\\Ostralec\\Defauts\\Nombre", "", REG_DWORD, Dword(42));
  MakeKey(lm, "Software\\Ostralec\\Vide");
  MakeKey(lm, "Software\\beta");
  MakeKey(lm, "Software\\_under");
  SetValue(lm, "Software\\Alpha\\Un\\Deux\\Trois", "Profondeur", REG_DWORD, Dword(5));
  SetValue(lm, "System\\CurrentControlSet\\Control", "Current", REG_DWORD, Dword(1));
  SetValue(users, "", "Version", REG_SZ, Sz("4.10"));
  SetValue(users, ".DEFAULT\\Control Panel\\Desktop", "Wallpaper", REG_SZ, Sz("(None)"));
  MakeKey(users, "S-1-5-21-1\\Software");
  // Every type, empty or not; names and texts no plain line could carry.
  const std::string odd = "Software\\Ostralec\\Exacts";
  SetValue(lm, odd, "nom=avec", REG_SZ, Sz("égal=après"));
  SetValue(lm, odd, "ligne\r\ncoupée", REG_SZ, Sz("deux\r\nlignes"));
  SetValue(lm, odd, "pourcent%41", REG_SZ, Sz("50%"));
  SetValue(lm, odd, "Liste vide dedans", REG_MULTI_SZ, std::string("a\0\0b\0\0", 6));
  SetValue(lm, odd, "Liste vide", REG_MULTI_SZ, std::string("\0", 1));
  SetValue(lm, odd, "Rien", REG_NONE, "");
  SetValue(lm, odd, "Rien plein", REG_NONE, "\x07");
  SetValue(lm, odd, "Chaine vide", REG_SZ, "");
  SetValue(lm, odd, "Chaine sans fin", REG_SZ, "abc");
  SetValue(lm, odd, "Chemin vide", REG_EXPAND_SZ, "");
  SetValue(lm, odd, "Quatre octets", REG_DWORD, "");
  SetValue(lm, odd, "Huit octets", REG_QWORD, "");
  SetValue(lm, odd, "Ressources", REG_RESOURCE_LIST, "\x01\x02");
  SetValue(lm, odd, "Sans nom de type", 0x12345, "\xFF");
  for (DWORD type : {REG_MULTI_SZ, REG_DWORD_BIG_ENDIAN, REG_LINK, REG_RESOURCE_LIST,
                     REG_FULL_RESOURCE_DESCRIPTOR, REG_RESOURCE_REQUIREMENTS_LIST})
    SetValue(lm, odd, "Vide de type " + std::to_string(type), type, "");
  {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(lm, L"Software\\Ostralec\\Exacts\\Grec \u03a9", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t pi[] = L"\u03c0 = 3,14";
    RegSetValueExW(key, L"\u03c0", 0, REG_SZ, reinterpret_cast<const BYTE*>(pi), sizeof pi);
    RegCloseKey(key);
    // A link, recorded as what it is and not followed.
    ASSERT_EQ(RegCreateKeyExW(lm, L"Software\\Ostralec\\Lien", 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\Ostralec\\Types";
    ASSERT_EQ(RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(target), sizeof target - 2),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  std::string file = ScratchDirectory() + "snapshot.txt";
  WriteRegistrySnapshot(file);
  ExpectMatchesGolden(file, "services/golden/snapshot.txt");
  // The link goes as a link: deleting the tree around it would follow it.
  HKEY link = nullptr;
  if (RegOpenKeyExW(lm, L"Software\\Ostralec\\Lien", REG_OPTION_OPEN_LINK, DELETE, &link) == ERROR_SUCCESS) {
    using NtDeleteKey = LONG(WINAPI*)(HANDLE);
    auto deleteKey = reinterpret_cast<NtDeleteKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    deleteKey(link);
    RegCloseKey(link);
  }
}

TEST(RegistrySnapshot, LargeValuesAndLongNamesAreCapturedWhole) {
  RegistrySandbox sandbox;
  std::string bytes, hex;
  for (int i = 0; i < 70000; ++i) {
    bytes += static_cast<char>(i % 251);
    static const char digits[] = "0123456789ABCDEF";
    if (i) hex += ',';
    hex += digits[(i % 251) >> 4];
    hex += digits[(i % 251) & 15];
  }
  std::string text(66000, 't');
  std::string longName(16383, 'n');
  SetValue(HKEY_LOCAL_MACHINE, "Big", "Image", REG_BINARY, bytes);
  SetValue(HKEY_LOCAL_MACHINE, "Big", "Texte", REG_SZ, Sz(text));
  SetValue(HKEY_LOCAL_MACHINE, "Big", "Petit", REG_SZ, Sz("p"));
  SetValue(HKEY_LOCAL_MACHINE, "Big", longName, REG_DWORD, Dword(3));

  std::string file = ScratchDirectory() + "snapshot.txt";
  WriteRegistrySnapshot(file);
  EXPECT_EQ(LinesOf(ReadWholeFile(file)),
            (std::vector<std::string>{"BDR95", "*", "yHKey_Local_Machine", "xBig", "BImage=" + hex,
                                      "SPetit=p", "STexte=" + text, "W" + longName + "=00000003",
                                      "yHKey_Users"}));
}

TEST(RegistrySnapshot, KeysBelowTheLastDepthLetterAreLeftOut) {
  RegistrySandbox sandbox;
  // "Profond" is a child of the root (depth 2, "x"); below it levels 3 to 32.
  std::string path = "Profond";
  for (int level = 3; level <= 32; ++level) {
    path += "\\N" + std::to_string(level);
    SetValue(HKEY_LOCAL_MACHINE, path, "Niveau", REG_SZ, Sz(std::to_string(level)));
  }
  std::string file = ScratchDirectory() + "snapshot.txt";
  WriteRegistrySnapshot(file);
  std::vector<std::string> lines = LinesOf(ReadWholeFile(file));

  std::vector<std::string> expected = {"BDR95", "*", "yHKey_Local_Machine", "xProfond"};
  for (int level = 3; level <= 25; ++level) {
    expected.push_back(std::string(1, static_cast<char>('z' - level)) + "N" + std::to_string(level));
    expected.push_back("SNiveau=" + std::to_string(level));
  }
  expected.push_back("yHKey_Users");
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(expected[expected.size() - 3], "aN25");
  for (const auto& line : lines) {
    char c = line.empty() ? '\0' : line[0];
    EXPECT_TRUE(c == 'B' || c == 'S' || c == 'W' || c == '*' || (c >= 'a' && c <= 'y')) << line;
  }
}

TEST(RegistrySnapshot, LeavesOutTheProgramsOwnSettingsOfEveryUser) {
  RegistrySandbox sandbox;
  HKEY lm = HKEY_LOCAL_MACHINE, users = HKEY_USERS;
  SetValue(users, "S-1-5-21-1\\Software\\Ostralec\\Pivalune", "Bat", REG_SZ, Sz("ASYK3DD"));
  SetValue(users, "S-1-5-21-1\\Software\\Ostralec\\Pivalune\\Sous", "X", REG_SZ, Sz("1"));
  SetValue(users, ".DEFAULT\\software\\ostralec\\PIVALUNE", "Last", REG_SZ, Sz("A.PV2"));
  SetValue(users, "S-1-5-21-1\\Software\\Ostralec\\Autre", "Garde", REG_SZ, Sz("oui"));
  // Only the users' settings key is the program's: the same path elsewhere stays.
  SetValue(lm, "Software\\Ostralec\\Pivalune", "Machine", REG_SZ, Sz("oui"));
  SetValue(users, "S-1-5-21-1\\Pivalune", "Ailleurs", REG_SZ, Sz("oui"));
  std::string file = ScratchDirectory() + "snapshot.txt";
  WriteRegistrySnapshot(file);
  const std::string expected =
      "BDR95\r\n*\r\nyHKey_Local_Machine\r\nxSoftware\r\nwOstralec\r\nvPivalune\r\nSMachine=oui\r\n"
      "yHKey_Users\r\nx.DEFAULT\r\nwsoftware\r\nvostralec\r\n"
      "xS-1-5-21-1\r\nwPivalune\r\nSAilleurs=oui\r\nwSoftware\r\nvOstralec\r\nuAutre\r\nSGarde=oui\r\n";
  EXPECT_EQ(ReadWholeFile(file), expected);
}
