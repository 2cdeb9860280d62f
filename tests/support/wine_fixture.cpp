#include "support/wine_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

uint32_t PackDosTime(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
  uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return (date << 16) | time;
}

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

FILETIME UtcFileTimeOf(uint32_t packed) {
  FILETIME local{}, utc{};
  Check(DosDateTimeToFileTime(HIWORD(packed), LOWORD(packed), &local), "DosDateTimeToFileTime");
  Check(LocalFileTimeToFileTime(&local, &utc), "LocalFileTimeToFileTime");
  return utc;
}

}  // namespace

std::string ScratchDirectory() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "global";
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  CreateDirectoryA("C:\\pvtests", nullptr);
  std::string dir = "C:\\pvtests\\" + name + "\\";
  RemoveTree(dir);
  Check(CreateDirectoryA(dir.c_str(), nullptr), "CreateDirectory " + dir);
  return dir;
}

void WriteFixtureFile(const std::string& path, const std::string& bytes,
                      uint32_t packedDosTime, DWORD attributes) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(h != INVALID_HANDLE_VALUE, "CreateFile " + path);
  DWORD written = 0;
  bool ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()),
                                       &written, nullptr);
  FILETIME ft = UtcFileTimeOf(packedDosTime);
  ok = ok && SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  Check(ok, "WriteFile " + path);
  Check(SetFileAttributesA(path.c_str(), attributes), "SetFileAttributes " + path);
}

void MakeFixtureDirectory(const std::string& path) {
  Check(CreateDirectoryA(path.c_str(), nullptr), "CreateDirectory " + path);
}

void SetFixtureTime(const std::string& path, uint32_t packedDosTime) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Check(h != INVALID_HANDLE_VALUE, "open " + path);
  FILETIME ft = UtcFileTimeOf(packedDosTime);
  bool ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  Check(ok, "SetFileTime " + path);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void RemoveTree(const std::string& path) {
  std::string dir = path;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = dir + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileA(full.c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

int RunHostCommand(const std::string& commandLine) {
  // Wine starts a Unix program without a process handle to wait on or to
  // read the exit code from: the command runs from a script that leaves its
  // exit code in a file, which is awaited here.
  static int calls = 0;
  char temp[MAX_PATH] = {};
  Check(GetTempPathA(MAX_PATH, temp) != 0, "GetTempPath");
  std::string base = std::string(temp) + "pvhost" + std::to_string(GetCurrentProcessId()) + "_" +
                     std::to_string(++calls);
  std::string script = base + ".sh", rc = base + ".rc";
  DeleteFileA(rc.c_str());
  std::string unixRc = UnixPathOf(rc);
  std::ofstream(script, std::ios::binary)
      << commandLine << "\necho $? > \"" << unixRc << ".tmp\"\nmv \"" << unixRc << ".tmp\" \""
      << unixRc << "\"\n";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = "/bin/sh \"" + UnixPathOf(script) + "\"";
  Check(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &si, &pi),
        "CreateProcess " + commandLine);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  int code = -1;
  for (int waited = 0; waited < 60000; waited += 10) {
    if (GetFileAttributesA(rc.c_str()) != INVALID_FILE_ATTRIBUTES) {
      std::ifstream(rc) >> code;
      break;
    }
    Sleep(10);
  }
  DeleteFileA(rc.c_str());
  DeleteFileA(script.c_str());
  return code;
}


MappedDrive::MappedDrive(char letter, const std::string& directory) : letter_(letter) {
  char prefix[1024];
  if (!GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix))
    throw std::runtime_error("WINEPREFIX is not set: run the tests through make test");
  link_ = std::string(prefix) + "/dosdevices/" + static_cast<char>(tolower(letter)) + ":";
  std::string target = UnixPathOf(directory);
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (RunHostCommand("/bin/ln -sfn \"" + target + "\" \"" + link_ + "\"") != 0)
    throw std::runtime_error("cannot map drive " + std::string(1, letter));
}

MappedDrive::~MappedDrive() { RunHostCommand("/bin/rm -f \"" + link_ + "\""); }

namespace {
const HKEY SandboxedRoots[3] = {HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER};
constexpr const char* SandboxNames[3] = {"HKLM", "HKU", "HKCU"};
}  // namespace

RegistrySandbox::RegistrySandbox() {
  area_ = "Software\\PivaluneTests\\" + std::to_string(GetCurrentProcessId());
  RegDeleteTreeA(HKEY_CURRENT_USER, area_.c_str());
  for (int i = 0; i < 3; ++i) {
    std::string sub = area_ + "\\" + SandboxNames[i];
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &keys_[i], nullptr) == ERROR_SUCCESS,
          "RegCreateKeyEx " + sub);
  }
  for (int i = 0; i < 3; ++i) RegOverridePredefKey(SandboxedRoots[i], keys_[i]);
}

RegistrySandbox::~RegistrySandbox() {
  for (int i = 0; i < 3; ++i) RegOverridePredefKey(SandboxedRoots[i], nullptr);
  for (HKEY k : keys_) RegCloseKey(k);
  RegDeleteTreeA(HKEY_CURRENT_USER, area_.c_str());
}

std::string TestsPath(const std::string& relative) {
  std::string path = std::string("Z:") + PV_TESTS_DIR + "/" + relative;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void ExpectMatchesGolden(const std::string& actualPath, const std::string& goldenRelative) {
  std::string actual = ReadWholeFile(actualPath);
  std::string golden = TestsPath(goldenRelative);
  char update[8] = "";
  if (GetEnvironmentVariableA("PV_UPDATE_GOLDEN", update, sizeof update) && update[0] == '1') {
    std::ofstream(golden, std::ios::binary) << actual;
    return;
  }
  std::string expected = ReadWholeFile(golden);
  ASSERT_FALSE(expected.empty()) << "missing golden file " << golden;
  EXPECT_EQ(actual, expected) << actualPath << " differs from " << goldenRelative;
}
