// The messages dialog driven from a second thread: which level shows as
// selected, what OK and Cancel leave in Program and in the registry, and
// the hints of its status bar.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/messages_dialog.h"
#include "shell/program_state.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"

namespace {

std::optional<DWORD> StoredCode() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ostralec\\Pivalune", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return std::nullopt;
  DWORD value = 0, size = sizeof value, type = 0;
  LONG rc = RegQueryValueExA(key, "Code", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

int RunDialog(TAvertissement& dialog, const std::function<void(HWND)>& script) {
  return DriveModal([&] { return dialog.ShowModal(); }, TAvertissement::Title, script);
}

class MessagesDialog : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = Program;
    Program.HelpAvailable = false;
  }
  void TearDown() override { Program = saved_; }

  RegistrySandbox registry_;
  TProgramState saved_;
};

// The selected radio button as its name: "toujours", "parfois", "jamais",
// "" for none and "+" for more than one.
std::string Selected(TAvertissement& dialog) {
  std::string name;
  const std::pair<const RadioButton*, const char*> buttons[] = {
      {&dialog.toujours, "toujours"}, {&dialog.parfois, "parfois"}, {&dialog.jamais, "jamais"}};
  for (const auto& [button, buttonName] : buttons)
    if (IsChecked(button->Handle())) name = name.empty() ? buttonName : "+";
  return name;
}

struct LevelCase {
  int level;             // Program.ConfirmLevel at the opening
  const char* selected;  // the radio button shown
  const char* clicked;   // caption clicked before OK, or null
  int stored;            // ConfirmLevel and Code after OK
};

const LevelCase LevelCases[] = {
    {1, "jamais", nullptr, 1},
    {2, "parfois", nullptr, 2},
    {3, "toujours", nullptr, 3},
    {0, "toujours", nullptr, 3},  // the command-line level counts as "other"
    {3, "toujours", "seulement les décisions très importantes", 1},
    {1, "jamais", "les décisions importantes", 2},
    {2, "parfois", "toutes les décisions", 3},
};

TEST_F(MessagesDialog, OpeningSelectsTheCurrentLevelAndOkStoresTheChosenOne) {
  TAvertissement dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  for (const LevelCase& c : LevelCases) {
    SCOPED_TRACE("level " + std::to_string(c.level) + (c.clicked ? std::string(", ") + c.clicked : ""));
    Program.ConfirmLevel = c.level;
    std::string selected;
    bool found = true;
    int result = RunDialog(dialog, [&](HWND w) {
      selected = Selected(dialog);
      if (c.clicked) {
        HWND radio = FindControl(w, c.clicked);
        found = radio != nullptr;
        if (radio) Click(radio);
      }
      Click(FindControl(w, "OK"));
    });
    EXPECT_TRUE(found);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(selected, c.selected);
    EXPECT_EQ(Program.ConfirmLevel, c.stored);
    EXPECT_EQ(StoredCode(), static_cast<DWORD>(c.stored));
  }
}

TEST_F(MessagesDialog, CancelStoresNothing) {
  Program.ConfirmLevel = 2;
  TAvertissement dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  int result = RunDialog(dialog, [&](HWND w) {
    Click(FindControl(w, "seulement les décisions très importantes"));
    Click(FindControl(w, "Annuler"));
  });
  std::string reopened;
  RunDialog(dialog, [&](HWND) {
    reopened = Selected(dialog);
    PostMessageA(dialog.parfois.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(reopened, "parfois");
  EXPECT_EQ(Program.ConfirmLevel, 2);
  EXPECT_FALSE(StoredCode());
}

TEST_F(MessagesDialog, StatusBarShowsTheHintOfWhatLiesUnderThePointerAndHelpFollowsHelpAvailable) {
  TAvertissement dialog(nullptr);
  ASSERT_TRUE(dialog.Created());
  const std::string level = " sélectionnez la fréquence des messages aparaissant à l'écran";
  struct Case {
    const char* where;
    POINT point;  // client coordinates
    std::string hint;
  };
  auto centre = [&](const Control& c) { return CentreOf(dialog.Handle(), c.Handle()); };
  const Case cases[] = {
      {"toujours", centre(dialog.toujours), level},
      {"OK", centre(dialog.btnOK), " enregistre les nouveaux paramètres"},
      {"parfois", centre(dialog.parfois), level},
      {"status bar", centre(dialog.BarredEtat), ""},
      {"jamais", centre(dialog.jamais), level},
      {"Annuler", centre(dialog.btnAnnuler), " rétablit les anciens paramètres"},
      {"group beside the buttons", {14, 50}, level},
      {"Aide", centre(dialog.btnAide), " appelle le fichier d'aide"},
      {"bare window", {20, 114}, ""},
  };
  Program.HelpAvailable = true;  // a disabled button gets no mouse at all
  std::vector<std::string> seen;
  bool helpEnabled = false;
  std::string afterOk = "?";
  RunDialog(dialog, [&](HWND w) {
    helpEnabled = IsWindowEnabled(dialog.btnAide.Handle());
    for (const Case& c : cases) seen.push_back(HintAt(w, dialog.BarredEtat.Handle(), c.point, c.hint));
    HintAt(w, dialog.BarredEtat.Handle(), centre(dialog.btnOK), " enregistre les nouveaux paramètres");
    Click(dialog.btnOK.Handle());
    afterOk = TextOf(dialog.BarredEtat.Handle());
  });
  EXPECT_TRUE(helpEnabled);
  ASSERT_EQ(seen.size(), std::size(cases));
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], cases[i].hint) << cases[i].where;
  EXPECT_EQ(afterOk, "");

  Program.HelpAvailable = false;
  RunDialog(dialog, [&](HWND w) {
    helpEnabled = IsWindowEnabled(dialog.btnAide.Handle());
    Click(FindControl(w, "Annuler"));
  });
  EXPECT_FALSE(helpEnabled);
}

}  // namespace
