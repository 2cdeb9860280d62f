// A scratch program directory for the tests of windows that work on the
// files of the program directory: it is the program's directory and the
// current directory for the test, with the registry sandboxed.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell/program_state.h"
#include "support/wine_fixture.h"

class ScratchProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Program;
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    savedDirectory_ = current;
    dir_ = ScratchDirectory();
    SetCurrentDirectoryA(dir_.c_str());
    Program.ProgramDirectory = dir_;
    Program.StorageLocation = "";
    Program.HelpAvailable = false;
  }
  void TearDown() override {
    SetCurrentDirectoryA(savedDirectory_.c_str());
    Program = saved_;
  }
  void Write(const std::string& name, const std::string& bytes) {
    WriteFixtureFile(dir_ + name, bytes, PackDosTime(1998, 12, 5, 14, 3, 6));
  }
  bool Exists(const std::string& name) const { return PathExists(dir_ + name); }
  static bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  RegistrySandbox registry_;
  TProgramState saved_;
  std::string savedDirectory_, dir_;
};
