#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "shell/program_state.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "support/wine_fixture.h"

namespace {

constexpr const char* SettingsSubKey = "Software\\Ostralec\\Pivalune";

// The raw value as the registry holds it: its type and its bytes.
struct StoredValue {
  DWORD type = REG_NONE;
  std::string bytes;
};

StoredValue Stored(const char* name) {
  StoredValue value;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return value;
  char data[512];
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
      ERROR_SUCCESS)
    value.bytes.assign(data, size);
  RegCloseKey(key);
  return value;
}

void StoreRawString(const char* name, const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SettingsSubKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

struct TextCase {
  settings::Text value;
  const char* name;
  const char* defaultValue;
};
const TextCase TextCases[] = {
    {settings::Text::Drives, "Drives", "C"},
    {settings::Text::Type, "Type", ""},
    {settings::Text::Exclude, "Exclude", "\\\\"},
    {settings::Text::Bat, "Bat", "x"},
    {settings::Text::Pred, "Pred", ""},
    {settings::Text::Succ, "Succ", ""},
    {settings::Text::Last, "Last", ""},
    {settings::Text::Error, "Error", ""},
    {settings::Text::Des, "Des", ""},
    {settings::Text::Temp, "Temp", "C"},
    {settings::Text::TempFiles, "TempFiles", "*.bak|*.tmp|*.old|~~*.*|*.~??"},
    {settings::Text::SecDir, "SecDir", "A"},
};

struct NumberCase {
  settings::Number value;
  const char* name;
  int32_t defaultValue;
};
const NumberCase NumberCases[] = {
    {settings::Number::RecBin, "RecBin", 1},
    {settings::Number::Code, "Code", 3},
    {settings::Number::TD, "TD", 1},
    {settings::Number::SecNum, "SecNum", 0},
};

}  // namespace

TEST(SettingsStore, StringValuesHaveTheirNamesDefaultsAndRegistryType) {
  RegistrySandbox sandbox;
  for (const auto& c : TextCases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(settings::NameOf(c.value), c.name);
    EXPECT_EQ(settings::DefaultOf(c.value), c.defaultValue);
    EXPECT_EQ(settings::Read(c.value), c.defaultValue);  // nothing stored yet

    ASSERT_TRUE(settings::Write(c.value, "AB1"));
    StoredValue stored = Stored(c.name);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.bytes, std::string("AB1", 4));  // with its terminating zero
    EXPECT_EQ(settings::Read(c.value), "AB1");
  }
}

TEST(SettingsStore, NumberValuesHaveTheirNamesDefaultsAndRegistryType) {
  RegistrySandbox sandbox;
  for (const auto& c : NumberCases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(settings::NameOf(c.value), c.name);
    EXPECT_EQ(settings::DefaultOf(c.value), c.defaultValue);
    EXPECT_EQ(settings::Read(c.value), c.defaultValue);

    ASSERT_TRUE(settings::Write(c.value, -2));
    StoredValue stored = Stored(c.name);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.bytes, std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(settings::Read(c.value), -2);
  }
}

TEST(SettingsStore, ValueOfAnotherTypeReadsAsTheDefault) {
  RegistrySandbox sandbox;
  ASSERT_TRUE(settings::Write(settings::Number::Code, 1));
  StoreRawString("RecBin", "0");  // a string where a number belongs
  EXPECT_EQ(settings::Read(settings::Number::RecBin), 1);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SettingsSubKey, 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  DWORD number = 7;
  RegSetValueExA(key, "Drives", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  RegCloseKey(key);
  EXPECT_EQ(settings::Read(settings::Text::Drives), "C");
}

TEST(SettingsStore, StringsAreStoredCutTo50Characters) {
  RegistrySandbox sandbox;
  const std::string eighty = std::string(40, 'A') + std::string(40, 'b');
  ASSERT_TRUE(settings::Write(settings::Text::Exclude, eighty));
  StoredValue stored = Stored("Exclude");
  EXPECT_EQ(stored.bytes, eighty.substr(0, 50) + '\0');
  EXPECT_EQ(settings::Read(settings::Text::Exclude), eighty.substr(0, 50));
}

TEST(SettingsStore, StoredStringOver50CharactersReadsAsTheDefault) {
  RegistrySandbox sandbox;
  struct {
    size_t length;
    bool readsAsDefault;
  } cases[] = {{49, false}, {50, false}, {51, true}, {120, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'D');
    text[0] = '\xE9';  // a CP1252 letter is one character too
    StoreRawString("Drives", text);
    StoreRawString("TempFiles", text);
    EXPECT_EQ(settings::Read(settings::Text::Drives), c.readsAsDefault ? "C" : text);
    EXPECT_EQ(settings::Read(settings::Text::TempFiles),
              c.readsAsDefault ? "*.bak|*.tmp|*.old|~~*.*|*.~??" : text);
  }
}

TEST(SettingsStore, GeneralSettingsAreLoadedWithTheRecordingFallback) {
  struct Case {
    const char* drives;  // nullptr: not stored
    const char* type;
    const char* expectedDrives;
    const char* expectedTypes;
  } cases[] = {
      {nullptr, nullptr, "C", ""},         // a fresh installation: C, no type letter
      {"", "", "CDG", "MCAIWSR"},          // nothing chosen: every fixed drive and type
      {"", "MCA", "CDG", "MCAIWSR"},       // files but no drive and no registry
      {"", "R", "", "R"},                  // the registry only
      {"", "SR", "", "SR"},
      {"DG", "", "DG", ""},
      {"G", "MCASWIR", "G", "MCASWIR"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.drives ? c.drives : "(none)") + "/" + (c.type ? c.type : "(none)"));
    RegistrySandbox sandbox;
    if (c.drives) settings::Write(settings::Text::Drives, c.drives);
    if (c.type) settings::Write(settings::Text::Type, c.type);
    Program = TProgramState();
    Program.FixedDrives = "CDG";
    settings::LoadGeneralSettings();
    EXPECT_EQ(Program.Drives, c.expectedDrives);
    EXPECT_EQ(Program.Types, c.expectedTypes);
  }
}

TEST(SettingsStore, RecycleBinAndExclusionTextAreLoaded) {
  struct Case {
    int32_t recBin;  // -1: not stored
    bool expected;
  } cases[] = {{-1, true}, {1, true}, {0, false}, {2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recBin);
    RegistrySandbox sandbox;
    if (c.recBin >= 0) settings::Write(settings::Number::RecBin, c.recBin);
    Program = TProgramState();
    Program.UseRecycleBin = !c.expected;
    settings::LoadGeneralSettings();
    EXPECT_EQ(Program.UseRecycleBin, c.expected);
  }

  RegistrySandbox sandbox;
  Program = TProgramState();
  Program.ProgramDirectory = "C:\\PIVALUNE\\";
  settings::LoadGeneralSettings();
  EXPECT_EQ(Program.ExclusionText, "\\\\");

  settings::Write(settings::Text::Exclude, "c:\\temp;;\\Cache\\");
  settings::LoadGeneralSettings();
  EXPECT_EQ(Program.ExclusionText, "c:\\temp;;\\Cache\\");
  EXPECT_EQ(Program.ExclusionList,
            (std::vector<std::string>{"C:\\TEMP", "\\CACHE\\", "C:\\PIVALUNE\\", "\\RECYCLED\\",
                                      "\\SYSBCKUP\\"}));
}

TEST(Initialisation, FindsDrivesAndReadsTheConfirmationLevelOnlyWhenInteractive) {
  std::string scratch = ScratchDirectory();
  MakeFixtureDirectory(scratch + "h");
  MappedDrive fixed('H', scratch + "h");
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  SetCurrentDirectoryA(scratch.c_str());

  RegistrySandbox sandbox;
  settings::Write(settings::Number::Code, 1);
  Program = TProgramState();
  InitialiseProgram(false);
  EXPECT_EQ(Program.ConfirmLevel, TProgramState().ConfirmLevel);
  InitialiseProgram(true);
  EXPECT_EQ(Program.ConfirmLevel, 1);

  // The program directory is the test program's own, made current.
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  std::string own = module;
  own.erase(own.rfind('\\') + 1);
  EXPECT_EQ(Program.ProgramDirectory, own);
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_EQ(std::string(current) + "\\", own);
  SetCurrentDirectoryA(before);

  EXPECT_EQ(Program.RemovableDrives.find('H'), std::string::npos);
  EXPECT_NE(Program.FixedDrives.find('C'), std::string::npos);
  EXPECT_NE(Program.FixedDrives.find('H'), std::string::npos);
  EXPECT_EQ(Program.FixedDrives.find('Z'), std::string::npos);  // only C to L
  EXPECT_TRUE(std::is_sorted(Program.FixedDrives.begin(), Program.FixedDrives.end()));
  EXPECT_FALSE(Program.HelpAvailable);
  Program = TProgramState();
}
