// The configuration dialog driven as a user would: boxes clicked, text
// typed, OK or Cancel pressed from a second thread while the dialog runs
// modally; then the program-wide state and the registry are read back.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/configuration_dialog.h"
#include "shell/program_state.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"

namespace {

constexpr const char* SettingsSubKey = "Software\\Ostralec\\Pivalune";

std::optional<std::string> StoredText(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  char data[512] = {};
  DWORD size = sizeof data - 1, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::string(data);
}

std::optional<DWORD> StoredNumber(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD value = 0, size = sizeof value, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

// Types into the focused control's place, one character message per key.
void Type(HWND edit, const std::string& text) {
  for (unsigned char c : text) SendMessageTimeoutA(edit, WM_CHAR, c, 0, SMTO_NORMAL, 2000, nullptr);
}

void ClearByKeys(HWND edit) {
  SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, 2000, nullptr);
  Type(edit, "\b");
}

void PressKey(HWND control, WPARAM key) { PostMessageA(control, WM_KEYDOWN, key, 1); }

int RunDialog(TConfiguration& dialog, const std::function<void(HWND)>& script) {
  return DriveModal([&] { return dialog.ShowModal(); }, TConfiguration::Title, script);
}

class ConfigurationDialog : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = Program;
    Program.FixedDrives = "CD";
    Program.Drives = "C";
    Program.Types = "";
    Program.ExclusionText = "\\\\";
    Program.UseRecycleBin = true;
    Program.HelpAvailable = false;
  }
  void TearDown() override { Program = saved_; }

  RegistrySandbox registry_;
  TProgramState saved_;
};

struct BoxCase {
  const char* name;
  const char* drives;               // Program before the opening
  const char* types;
  std::vector<const char*> clicks;  // captions, in the order clicked
  const char* storedDrives;         // after OK, in Program and the registry
  const char* storedTypes;
  bool recycleBin;
};

const BoxCase BoxCases[] = {
    {"every box cleared: all fixed drives and every type", "CD", "MCASWIR",
     {"&C", "&D", "&MSDOS.SYS", "CONFIG.S&YS", "AUTOEXEC.BA&T", "&SYSTEM.INI", "&WIN.INI", "*.I&NI",
      "&Base de registres"},
     "CD", "MCAIWSR", true},
    {"drives cleared, registry kept: registry only", "CD", "MR", {"&C", "&D", "&MSDOS.SYS"}, "",
     "R", true},
    {"file boxes checked in a scrambled order", "C", "",
     {"&Base de registres", "*.I&NI", "&MSDOS.SYS", "&WIN.INI", "AUTOEXEC.BA&T", "&SYSTEM.INI",
      "CONFIG.S&YS"},
     "C", "MCASWIR", true},
    {"a drive added, the recycle bin given up", "C", "A",
     {"&D", "Conserver dans la corbeille les fichiers sensibles"}, "CD", "A", false},
};

TEST_F(ConfigurationDialog, OkStoresTheCheckedBoxesInProgramAndRegistry) {
  TConfiguration dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  for (const BoxCase& c : BoxCases) {
    SCOPED_TRACE(c.name);
    Program.Drives = c.drives;
    Program.Types = c.types;
    Program.UseRecycleBin = true;
    std::vector<std::string> missing;
    int result = RunDialog(dialog, [&](HWND w) {
      for (const char* caption : c.clicks) {
        HWND box = FindControl(w, caption);
        if (!box) missing.push_back(caption);
        else Click(box);
      }
      Click(FindControl(w, "OK"));
    });
    EXPECT_TRUE(missing.empty()) << missing.front();
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Program.Drives, c.storedDrives);
    EXPECT_EQ(Program.Types, c.storedTypes);
    EXPECT_EQ(Program.UseRecycleBin, c.recycleBin);
    EXPECT_EQ(StoredText("Drives"), c.storedDrives);
    EXPECT_EQ(StoredText("Type"), c.storedTypes);
    EXPECT_EQ(StoredNumber("RecBin"), c.recycleBin ? 1u : 0u);
    EXPECT_EQ(StoredText("Exclude"), "\\\\");
  }
}

struct ExclusionCase {
  const char* name;
  std::string typed;          // into the emptied box
  std::string programText;    // Program.ExclusionText after OK
  std::string registryText;   // the Exclude value
};

TEST_F(ConfigurationDialog, ExclusionTextIsTypedAndStored) {
  const std::string eighty =
      "\\WINDOWS\\TEMP;\\PROGRA~1\\ANCIEN;\\JEUX\\SAUVEGARDES;\\DOCUMENTS\\ARCHIVES;\\CORBEILLES";
  ASSERT_EQ(eighty.size(), 80u);
  const ExclusionCase cases[] = {
      {"emptied box", "", "\\\\", "\\\\"},
      {"one character is too short", "x", "\\\\", "\\\\"},
      {"two characters stand", "\\T", "\\T", "\\T"},
      {"80 characters: whole in Program, 50 in the registry", eighty, eighty, eighty.substr(0, 50)},
  };
  TConfiguration dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Program.ExclusionText = "\\TEMP";
    std::string shown;
    RunDialog(dialog, [&](HWND) {
      HWND edit = dialog.editExclure.Handle();
      shown = TextOf(edit);
      ClearByKeys(edit);
      Type(edit, c.typed);
      PressKey(edit, VK_RETURN);  // the default button
    });
    EXPECT_EQ(shown, "\\TEMP");
    EXPECT_EQ(Program.ExclusionText, c.programText);
    EXPECT_EQ(StoredText("Exclude"), c.registryText);
  }
}

TEST_F(ConfigurationDialog, CancelAndEscapeChangeNothingAndTheNextOpeningShowsProgramAgain) {
  Program.Drives = "C";
  Program.Types = "MR";
  Program.ExclusionText = "\\TEMP";
  TConfiguration dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  auto changeEverything = [&](HWND w) {
    Click(FindControl(w, "&C"));
    Click(FindControl(w, "&D"));
    Click(FindControl(w, "&MSDOS.SYS"));
    Click(FindControl(w, "&WIN.INI"));
    Click(FindControl(w, "Conserver dans la corbeille les fichiers sensibles"));
    ClearByKeys(dialog.editExclure.Handle());
  };
  int first = RunDialog(dialog, [&](HWND w) {
    changeEverything(w);
    Click(FindControl(w, "Annuler"));
  });
  struct Shown {
    bool c = false, d = false, msdos = false, win = false, registres = false, corbeille = false;
    std::string exclusion;
  } shown;
  int second = RunDialog(dialog, [&](HWND w) {
    shown = {IsChecked(dialog.uC.Handle()),        IsChecked(dialog.uD.Handle()),
             IsChecked(dialog.fMsDos.Handle()),    IsChecked(dialog.fWin.Handle()),
             IsChecked(dialog.fRegistres.Handle()), IsChecked(dialog.cbCorbeille.Handle()),
             TextOf(dialog.editExclure.Handle())};
    changeEverything(w);
    PressKey(dialog.editExclure.Handle(), VK_ESCAPE);
  });
  EXPECT_EQ(first, mrCancel);
  EXPECT_EQ(second, mrCancel);
  // The second opening shows Program, not what was abandoned in the first.
  EXPECT_TRUE(shown.c);
  EXPECT_FALSE(shown.d);
  EXPECT_TRUE(shown.msdos);
  EXPECT_FALSE(shown.win);
  EXPECT_TRUE(shown.registres);
  EXPECT_TRUE(shown.corbeille);
  EXPECT_EQ(shown.exclusion, "\\TEMP");
  EXPECT_EQ(Program.Drives, "C");
  EXPECT_EQ(Program.Types, "MR");
  EXPECT_EQ(Program.ExclusionText, "\\TEMP");
  EXPECT_TRUE(Program.UseRecycleBin);
  for (const char* name : {"Drives", "Type", "Exclude"}) EXPECT_FALSE(StoredText(name)) << name;
  EXPECT_FALSE(StoredNumber("RecBin"));
}

TEST_F(ConfigurationDialog, OnlyFixedDrivesCanBeChangedYetACheckedDisabledBoxCounts) {
  Program.FixedDrives = "CD";
  Program.Drives = "CE";  // E: configured once, no fixed drive now
  Program.Types = "R";
  TConfiguration dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  std::string enabled, checked;
  RunDialog(dialog, [&](HWND w) {
    for (CheckBox* box : dialog.DriveBoxes()) {
      char letter = TextOf(box->Handle())[1];
      if (IsWindowEnabled(box->Handle())) enabled += letter;
      if (IsChecked(box->Handle())) checked += letter;
    }
    Click(FindControl(w, "&D"));
    Click(FindControl(w, "OK"));
  });
  EXPECT_EQ(enabled, "CD");
  EXPECT_EQ(checked, "CE");
  EXPECT_EQ(Program.Drives, "CDE");
  EXPECT_EQ(StoredText("Drives"), "CDE");
}

TEST_F(ConfigurationDialog, HelpButtonFollowsHelpAvailable) {
  TConfiguration dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  for (bool available : {false, true, false}) {
    Program.HelpAvailable = available;
    bool enabled = !available;
    RunDialog(dialog, [&](HWND w) {
      enabled = IsWindowEnabled(FindControl(w, "Aide"));
      Click(FindControl(w, "Annuler"));
    });
    EXPECT_EQ(enabled, available);
  }
}

// Over every control, group, panel, the status bar and the bare window
// the real pointer is moved; Program.FixedDrives "CD" leaves F: disabled.
TEST_F(ConfigurationDialog, StatusBarShowsTheHintOfWhatLiesUnderThePointer) {
  Program.HelpAvailable = true;  // a disabled button gets no mouse at all
  TConfiguration dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  const std::string drives = " cochez les disques à surveiller";
  const std::string files = " cochez les fichiers à analyser";
  const std::string exclusion = " vous pouvez inscrire le nom d'un répertoire à ne pas analyser";
  const std::string recycle = " cochez la case pour activer cette option";
  struct Case {
    const char* where;
    POINT point;  // client coordinates
    std::string hint;
  };
  auto centre = [&](const Control& c) { return CentreOf(dialog.Handle(), c.Handle()); };
  const Case cases[] = {
      {"drive box", centre(dialog.uD), drives},
      {"file box", centre(dialog.fRegistres), files},
      {"disabled drive box", centre(dialog.uF), drives},
      {"edit box", centre(dialog.editExclure), exclusion},
      {"drive group between two boxes", {CentreOf(dialog.Handle(), dialog.uG.Handle()).x, 12}, drives},
      {"status bar", centre(dialog.BarredEtat), ""},
      {"file group beside the boxes", {330, 120}, files},
      {"exclusion label", centre(dialog.LabelExclure), exclusion},
      {"recycle-bin box", centre(dialog.cbCorbeille), recycle},
      {"exclusion panel below the box", {200, 197}, exclusion},
      {"recycle-bin panel", {390, 220}, recycle},
      {"OK", centre(dialog.btnOK), " enregistre les nouveaux paramètres"},
      {"Annuler", centre(dialog.btnAnnuler), " rétablit les anciens paramètres"},
      {"Aide", centre(dialog.btnAide), " appelle le fichier d'aide"},
      {"bare window", {12, 252}, ""},
  };
  std::vector<std::string> seen;
  std::string afterCancel = "?";
  RunDialog(dialog, [&](HWND w) {
    for (const Case& c : cases) seen.push_back(HintAt(w, dialog.BarredEtat.Handle(), c.point, c.hint));
    HintAt(w, dialog.BarredEtat.Handle(), centre(dialog.btnAnnuler), " rétablit les anciens paramètres");
    Click(dialog.btnAnnuler.Handle());
    afterCancel = TextOf(dialog.BarredEtat.Handle());
  });
  ASSERT_EQ(seen.size(), std::size(cases));
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], cases[i].hint) << cases[i].where;
  EXPECT_EQ(afterCancel, "");
}

}  // namespace
