// What the undo tests share: a program directory of their own, questions
// that answer by themselves and remember what was asked, reports written
// line by line, and looks at the trash, the tree and the registry.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "shell/program_state.h"
#include "support/wine_fixture.h"
#include "undo/questions.h"

// Questions are recorded as "? " + text, notices as "i " + text.
class RecordingQuestions : public UndoQuestions {
 public:
  bool AskYesNo(const std::string& text) override {
    asked.push_back("? " + text);
    return answer(text);
  }
  void Inform(const std::string& text) override { asked.push_back("i " + text); }

  std::vector<std::string> asked;
  std::function<bool(const std::string&)> answer = [](const std::string&) { return true; };
};

// Each test runs in a scratch program directory (the current directory, as
// in the program), with its questions recorded and the program state put
// back afterwards.
class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the undo as the wizards do: mode, level and recycle bin first.
  void Run(const std::string& reportName, const std::string& title, bool uninstall, int level,
           bool recycleBin = true);

  std::string dir_;  // the program directory, ends with "\"
  RecordingQuestions questions_;

 private:
  TProgramState saved_;
  std::string savedDirectory_;
};

// Writes the lines with CR LF ends.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);
// A catalogue body line of a file: the marker and the entry text with its
// fixed columns, dated 05/12/1998 14:03.
std::string EntryLine(char marker, const std::string& name, int64_t size);
// The undo log with the time of the run in its first line replaced by
// "<date>"; the test fails when the line does not end with such a time.
std::string LogWithFixedDate(const std::string& logPath);
// The log's sections, from its first "Mise à jour" on, up to the directory pass.
std::string LogSections(const std::string& logPath);
// Compares the log (date fixed) with a golden file of tests/undo/golden.
void ExpectLogMatchesGolden(const std::string& logPath, const std::string& goldenName);

// Names in the trash of the run (the recycle bin under Wine).
std::set<std::string> TrashNames();
// Empties from the trash what was not there before.
void ForgetTrashedSince(const std::set<std::string>& before);

// Every file and directory under root, as relative paths ("SUB\", "SUB\F").
std::set<std::string> TreeOf(const std::string& root);
bool Exists(const std::string& path);

// Registry access through the predefined roots (sandboxed by the test).
void SetRegValue(HKEY root, const std::string& subKey, const std::string& name, DWORD type,
                 const void* data, DWORD size);
void SetRegString(HKEY root, const std::string& subKey, const std::string& name,
                  const std::string& text);
void SetRegDword(HKEY root, const std::string& subKey, const std::string& name, DWORD value);
struct RegValue {
  bool present = false;
  DWORD type = 0;
  std::string data;  // the raw bytes
};
RegValue GetRegValue(HKEY root, const std::string& subKey, const std::string& name);
bool KeyExists(HKEY root, const std::string& subKey);
std::string Dword(DWORD value);  // the four bytes of a REG_DWORD

// A minimal 16-bit Windows executable (MZ stub and NE header) whose
// module-reference table names these modules, in this order.
std::string NeExecutable(const std::vector<std::string>& imports);
