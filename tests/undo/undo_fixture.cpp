#include "undo_fixture.h"

#include <fstream>

#include "undo/undo_run.h"

void UndoTest::SetUp() {
  saved_ = Program;
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  savedDirectory_ = current;
  dir_ = ScratchDirectory();
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
  Program.ProgramDirectory = dir_;
  Program.ExclusionList.clear();
  SetUndoQuestions(&questions_);
}

void UndoTest::TearDown() {
  SetUndoQuestions(nullptr);
  SetCurrentDirectoryA(savedDirectory_.c_str());
  Program = saved_;
}

void UndoTest::Run(const std::string& reportName, const std::string& title, bool uninstall,
                   int level, bool recycleBin) {
  Program.UninstallMode = uninstall;
  Program.ConfirmLevel = level;
  Program.UseRecycleBin = recycleBin;
  Program.StartupFilesChanged = true;  // the run clears both
  Program.WindowsIniChanged = true;
  UndoRun(reportName, title);
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const auto& line : lines) out << line << "\r\n";
  ASSERT_TRUE(out.good()) << path;
}

std::string EntryLine(char marker, const std::string& name, int64_t size) {
  std::string text(1, marker);
  text += name;
  if (name.size() < 12) text.append(12 - name.size(), ' ');
  text += ' ';
  std::string digits = std::to_string(size);
  if (text.size() - 1 + digits.size() < 21) text.append(21 - (text.size() - 1 + digits.size()), ' ');
  return text + digits + " 05/12/1998 14:03";
}

std::string LogWithFixedDate(const std::string& logPath) {
  std::string log = ReadWholeFile(logPath);
  size_t end = log.find("\r\n");
  // "dd/mm/yyyy à hh:nn:ss" closes the header line.
  constexpr size_t DateLength = 21;
  if (end == std::string::npos || end < DateLength) {
    ADD_FAILURE() << "no header line in " << logPath;
    return log;
  }
  std::string date = log.substr(end - DateLength, DateLength);
  const std::string shape = "99/99/9999 à 99:99:99";
  for (size_t i = 0; i < DateLength; ++i) {
    bool digit = date[i] >= '0' && date[i] <= '9';
    if (shape[i] == '9' ? !digit : date[i] != shape[i]) {
      ADD_FAILURE() << "no time of the run at the end of the header: " << log.substr(0, end);
      return log;
    }
  }
  return log.replace(end - DateLength, DateLength, "<date>");
}

std::string LogSections(const std::string& logPath) {
  std::string log = ReadWholeFile(logPath);
  size_t from = log.find("Mise à jour d");
  size_t to = log.find("Mise à jour des répertoires");
  if (from == std::string::npos || to == std::string::npos) return log;
  return log.substr(from, to - from);
}

void ExpectLogMatchesGolden(const std::string& logPath, const std::string& goldenName) {
  const std::string fixed = logPath + ".fixed";
  {
    std::ofstream out(fixed, std::ios::binary | std::ios::trunc);
    out << LogWithFixedDate(logPath);
  }
  ExpectMatchesGolden(fixed, "undo/golden/" + goldenName);
}

namespace {

std::string TrashFilesDirectory() {
  char unix[1024] = {};
  if (!GetEnvironmentVariableA("XDG_DATA_HOME", unix, sizeof unix)) return "";
  std::string path = std::string("Z:") + unix + "/Trash/files/";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::set<std::string> NamesIn(const std::string& directory) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((directory + "*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return names;
}

void AddTree(const std::string& root, const std::string& relative, std::set<std::string>& out) {
  for (const auto& name : NamesIn(root + relative)) {
    std::string path = relative + name;
    DWORD a = GetFileAttributesA((root + path).c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
      out.insert(path + "\\");
      AddTree(root, path + "\\", out);
    } else {
      out.insert(path);
    }
  }
}

}  // namespace

std::set<std::string> TrashNames() {
  std::string directory = TrashFilesDirectory();
  EXPECT_FALSE(directory.empty()) << "XDG_DATA_HOME is not set: run the tests through make test";
  return NamesIn(directory);
}

void ForgetTrashedSince(const std::set<std::string>& before) {
  std::string directory = TrashFilesDirectory();
  std::string info = directory.substr(0, directory.size() - 6) + "info\\";
  for (const auto& name : TrashNames()) {
    if (before.count(name)) continue;
    std::string path = directory + name;
    DWORD a = GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
      RemoveTree(path);
    else
      DeleteFileA(path.c_str());
    DeleteFileA((info + name + ".trashinfo").c_str());
  }
}

std::set<std::string> TreeOf(const std::string& root) {
  std::set<std::string> out;
  AddTree(root.back() == '\\' ? root : root + "\\", "", out);
  return out;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetRegValue(HKEY root, const std::string& subKey, const std::string& name, DWORD type,
                 const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << subKey;
  LONG result = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  ASSERT_EQ(result, ERROR_SUCCESS) << subKey << " " << name;
}

void SetRegString(HKEY root, const std::string& subKey, const std::string& name,
                  const std::string& text) {
  SetRegValue(root, subKey, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetRegDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value) {
  SetRegValue(root, subKey, name, REG_DWORD, &value, sizeof value);
}

RegValue GetRegValue(HKEY root, const std::string& subKey, const std::string& name) {
  RegValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  char buffer[1024];
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(buffer),
                       &size) == ERROR_SUCCESS) {
    value.present = true;
    value.data.assign(buffer, size);
  }
  RegCloseKey(key);
  return value;
}

bool KeyExists(HKEY root, const std::string& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

std::string NeExecutable(const std::vector<std::string>& imports) {
  constexpr size_t Header = 0x80, References = 0x40, Names = 0x60;
  std::string file(Header + Names, '\0');
  auto word = [&](size_t at, unsigned value) {
    if (file.size() < at + 2) file.resize(at + 2, '\0');
    file[at] = static_cast<char>(value & 0xFF);
    file[at + 1] = static_cast<char>(value >> 8);
  };
  file[0] = 'M';
  file[1] = 'Z';
  word(24, 0x40);  // relocation table at 40 or beyond: a new-style executable
  word(60, Header);
  file[Header] = 'N';
  file[Header + 1] = 'E';
  word(Header + 30, static_cast<unsigned>(imports.size()));
  word(Header + 40, References);
  word(Header + 42, Names);
  // The imported-names table begins with an empty name, as linkers write it.
  std::string table(1, '\0');
  for (size_t i = 0; i < imports.size(); ++i) {
    word(Header + References + 2 * i, static_cast<unsigned>(table.size()));
    table += static_cast<char>(imports[i].size());
    table += imports[i];
  }
  file.resize(Header + Names);
  return file + table;
}
