#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>

#include "services/processes.h"
#include "support/wine_fixture.h"

namespace {

// The helper program built beside this test executable.
std::string EchoArgsProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self = path;
  return self.substr(0, self.rfind('\\') + 1) + "echo_args.exe";
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

TEST(Processes, LaunchDirectoryOfIsTheDirectoryOfTheProgramNamed) {
  struct Case { const char* commandLine; const char* directory; };
  const Case cases[] = {
      {"\"C:\\Program Files\\Mon Appli\\setup.exe\" /S /D=C:\\x", "C:\\Program Files\\Mon Appli"},
      {"\"C:\\Program Files\\Mon Appli\\setup.exe\"", "C:\\Program Files\\Mon Appli"},
      {"C:\\WINDOWS\\NOTEPAD.EXE C:\\Mes documents\\a.txt", "C:\\WINDOWS"},
      {"C:\\WINDOWS\\NOTEPAD.EXE", "C:\\WINDOWS"},
      {"A:\\SETUP.EXE", "A:"},
      // Unquoted, the program name stops at the first blank.
      {"C:\\Program Files\\Mon Appli\\setup.exe /S", "C:"},
      {"setup.exe /D=C:\\Jeux", ""},
      {"\"setup.exe\" C:\\Jeux\\", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LaunchDirectoryOf(c.commandLine), c.directory) << c.commandLine;
}

TEST(Processes, LaunchAndWaitRunsAQuotedProgramInItsDirectoryWithItsArguments) {
  std::string dir = ScratchDirectory() + "Mon Programme\\";
  MakeFixtureDirectory(dir);
  ASSERT_TRUE(CopyFileA(EchoArgsProgram().c_str(), (dir + "echo args.exe").c_str(), FALSE))
      << EchoArgsProgram();
  const std::string commandLine =
      "\"" + dir + "echo args.exe\" sortie.txt \"deux mots\" trois C:\\a\\b";

  ASSERT_TRUE(LaunchAndWait(commandLine));
  // The helper names its report only at its very end: the report is there
  // as soon as the call has returned, and it landed in the program's directory.
  std::vector<std::string> lines = LinesOf(ReadWholeFile(dir + "sortie.txt"));
  ASSERT_EQ(lines.size(), 6u) << "the program had not ended when the call returned";
  EXPECT_EQ(lines[0], dir.substr(0, dir.size() - 1));
  EXPECT_EQ(lines[1], commandLine);
  EXPECT_EQ(lines[2], "sortie.txt");
  EXPECT_EQ(lines[3], "deux mots");
  EXPECT_EQ(lines[4], "trois");
  EXPECT_EQ(lines[5], "C:\\a\\b");
}

// A program that starts another and ends at once has not ended while the
// other runs: the wait lasts until no process it started is left.
TEST(Processes, AProgramHasEndedOnlyWhenWhatItStartedHasEnded) {
  std::string dir = ScratchDirectory();
  ASSERT_TRUE(CopyFileA(EchoArgsProgram().c_str(), (dir + "setup.exe").c_str(), FALSE));
  ASSERT_TRUE(LaunchAndWait("\"" + dir + "setup.exe\" --handover sortie.txt"));
  EXPECT_EQ(LinesOf(ReadWholeFile(dir + "sortie.txt")).size(), 3u)
      << "the call returned before the second process had ended";

  LaunchedProgram program;
  ASSERT_TRUE(program.Start("\"" + dir + "setup.exe\" --handover encore.txt"));
  Sleep(200);  // the first process has ended by now; the second is in its pause
  EXPECT_FALSE(program.Ended());
  EXPECT_FALSE(GetFileAttributesA((dir + "encore.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
  for (int waited = 0; waited < 10000 && !program.Ended(); waited += 50) Sleep(50);
  EXPECT_TRUE(program.Ended());
  EXPECT_TRUE(GetFileAttributesA((dir + "encore.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST(Processes, LaunchAndWaitRunsAnUnquotedProgramInItsDirectory) {
  std::string dir = ScratchDirectory() + "Outils\\";
  MakeFixtureDirectory(dir);
  ASSERT_TRUE(CopyFileA(EchoArgsProgram().c_str(), (dir + "ECHO.EXE").c_str(), FALSE));
  const std::string commandLine = dir + "ECHO.EXE sortie.txt /S";

  ASSERT_TRUE(LaunchAndWait(commandLine));
  std::vector<std::string> lines = LinesOf(ReadWholeFile(dir + "sortie.txt"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], dir.substr(0, dir.size() - 1));
  EXPECT_EQ(lines[1], commandLine);
  EXPECT_EQ(lines[3], "/S");
}

TEST(Processes, LaunchAndWaitOfABareProgramNameKeepsTheCallersDirectory) {
  std::string dir = ScratchDirectory();
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  // Found beside this executable, run in the current directory.
  bool launched = LaunchAndWait("echo_args.exe sortie.txt");
  SetCurrentDirectoryA(saved);
  ASSERT_TRUE(launched);
  std::vector<std::string> lines = LinesOf(ReadWholeFile(dir + "sortie.txt"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], dir.substr(0, dir.size() - 1));
}

TEST(Processes, LaunchAndWaitOfAMissingProgramAnswersFalse) {
  std::string dir = ScratchDirectory();
  EXPECT_FALSE(LaunchAndWait("\"" + dir + "Mon Programme\\absent.exe\" /S"));
  EXPECT_FALSE(LaunchAndWait(dir + "absent.exe"));
  EXPECT_FALSE(LaunchAndWait(""));
}

namespace {

constexpr const char* TestClass = "PvEssaiFenetre";
constexpr const char* OtherClass = "PvAutreFenetre";

void RegisterTestClass(const char* name) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = name;
  RegisterClassA(&wc);  // already registered by an earlier test: fine
}

// Real top-level windows of this thread, destroyed with the fixture.
class Windows : public testing::Test {
 protected:
  void SetUp() override {
    RegisterTestClass(TestClass);
    RegisterTestClass(OtherClass);
  }
  void TearDown() override {
    // Owned windows first, then their owners.
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) DestroyWindow(*it);
  }

  HWND Create(const std::string& title, bool visible, HWND owner = nullptr,
              const char* className = TestClass) {
    // Frameless popups: under a bare X server Wine waits seconds for a window
    // manager each time a framed window goes away.
    HWND w = CreateWindowA(className, title.c_str(), WS_POPUP, 10, 10, 200, 100, owner,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(w, nullptr) << "no window (is there an X display?)";
    if (w && visible) ShowWindow(w, SW_SHOWNOACTIVATE);
    if (w) created_.push_back(w);
    return w;
  }

 private:
  std::vector<HWND> created_;
};

// Watches this thread for message boxes from a second thread, notes their
// caption and text and presses OK on each, until stopped.
class MessageBoxWatcher {
 public:
  struct Box {
    std::string caption, text;
  };

  MessageBoxWatcher() : thread_(GetCurrentThreadId()), worker_([this] { Watch(); }) {}
  ~MessageBoxWatcher() { Stop(); }

  std::vector<Box> Stop() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    return boxes_;
  }

 private:
  void Watch() {
    // Bounded, so that a missing box cannot hang the run.
    for (int round = 0; round < 1500 && !stop_; ++round) {
      EnumThreadWindows(thread_, Found, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }

  static BOOL CALLBACK Found(HWND window, LPARAM param) {
    auto* self = reinterpret_cast<MessageBoxWatcher*>(param);
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    if (std::find(self->seen_.begin(), self->seen_.end(), window) == self->seen_.end()) {
      self->seen_.push_back(window);
      Box box;
      char caption[256] = {};
      GetWindowTextA(window, caption, sizeof caption);
      box.caption = caption;
      EnumChildWindows(window, StaticText, reinterpret_cast<LPARAM>(&box.text));
      self->boxes_.push_back(box);
    }
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
  }

  static BOOL CALLBACK StaticText(HWND child, LPARAM param) {
    char cls[64] = {}, text[512] = {};
    GetClassNameA(child, cls, sizeof cls);
    GetWindowTextA(child, text, sizeof text);
    if (_stricmp(cls, "Static") == 0 && text[0]) *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
  }

  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::vector<HWND> seen_;
  std::vector<Box> boxes_;
  std::thread worker_;
};

}  // namespace

TEST_F(Windows, ActivatePreviousInstanceWarnsAndRestoresTheWindow) {
  HWND previous = Create("Pivalune", true);
  Create("Pivalune", true, nullptr, OtherClass);
  ShowWindow(previous, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(previous));

  MessageBoxWatcher watcher;
  EXPECT_TRUE(ActivatePreviousInstance(TestClass, "Pivalune"));
  std::vector<MessageBoxWatcher::Box> boxes = watcher.Stop();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Pivalune est déjà lancé.");
  EXPECT_FALSE(IsIconic(previous));
  EXPECT_TRUE(IsWindowVisible(previous));
}

TEST_F(Windows, ActivatePreviousInstanceWithoutSuchAWindowAnswersFalseAndShowsNothing) {
  Create("Pivalune", true, nullptr, OtherClass);
  Create("Pivalune 98 - Configuration", true);
  MessageBoxWatcher watcher;
  EXPECT_FALSE(ActivatePreviousInstance(TestClass, "Pivalune"));
  EXPECT_FALSE(ActivatePreviousInstance("PvClasseInconnue", "Pivalune"));
  EXPECT_TRUE(watcher.Stop().empty());
}

TEST_F(Windows, ListTopLevelWindowsNamesVisibleWindowsByTheirLastOwner) {
  HWND alpha = Create("PV Alpha", true);
  HWND alphaAgain = Create("PV Alpha", true);
  HWND alphaChild = Create("PV Enfant d'Alpha", true, alpha);
  HWND root = Create("PV Racine", false);
  HWND middle = Create("PV Milieu", false, root);
  HWND leaf = Create("PV Feuille", true, middle);
  HWND untitledOwner = Create("", false);
  Create("PV Orpheline", true, untitledOwner);
  Create("PV Invisible", false);
  HWND untitled = Create("", true);
  const std::string longTitle = "PV Long " + std::string(292, 'l');
  HWND lengthy = Create(longTitle, true);

  std::vector<WindowListEntry> list{{"reste d'avant", nullptr}};
  EXPECT_TRUE(ListTopLevelWindows(list));

  std::vector<WindowListEntry> ours;
  for (const auto& e : list) {
    EXPECT_FALSE(e.title.empty());
    EXPECT_NE(e.handle, untitled);
    EXPECT_NE(e.title, "reste d'avant");
    if (e.title.rfind("PV ", 0) == 0) ours.push_back(e);
  }
  std::vector<std::string> titles;
  for (const auto& e : ours) titles.push_back(e.title);
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"PV Alpha", longTitle.substr(0, 256),
                                              "PV Racine"}));
  for (const auto& e : ours) {
    if (e.title == "PV Racine") {
      EXPECT_EQ(e.handle, leaf);  // the visited window, not its owner
    } else if (e.title == "PV Alpha") {
      EXPECT_TRUE(e.handle == alpha || e.handle == alphaAgain || e.handle == alphaChild);
    } else {
      EXPECT_EQ(e.handle, lengthy);
    }
  }
}
