// Helpers for tests that run under Wine: fixture directories with fixed
// dates, drive letters mapped onto them, a sandboxed registry, golden files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/unix_path.h"

// A packed DOS date-time from its parts (local time).
uint32_t PackDosTime(int year, int month, int day, int hour, int minute, int second);

// A scratch directory for the running test, emptied first: C:\pvtests\<name>\.
std::string ScratchDirectory();
// Creates the file with these bytes, the given date and attributes.
void WriteFixtureFile(const std::string& path, const std::string& bytes,
                      uint32_t packedDosTime, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void MakeFixtureDirectory(const std::string& path);
// Sets a file's or directory's last-write date (local packed DOS date-time).
void SetFixtureTime(const std::string& path, uint32_t packedDosTime);
std::string ReadWholeFile(const std::string& path);
// Removes a directory tree, read-only files included.
void RemoveTree(const std::string& path);

// Maps a drive letter onto a Windows directory for the lifetime of the object
// (a link in the prefix's dosdevices folder, seen by Wine at once).
class MappedDrive {
 public:
  MappedDrive(char letter, const std::string& directory);
  ~MappedDrive();
  std::string Root() const { return std::string(1, letter_) + ":\\"; }

 private:
  char letter_;
  std::string link_;
};

// Redirects HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_USER of this
// process to empty keys of a test area for the lifetime of the object.
class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();

 private:
  std::string area_;
  HKEY keys_[3] = {};
};

// Absolute Windows path of a file under tests/ ("recording/golden/x.txt").
std::string TestsPath(const std::string& relative);
// Compares a file byte for byte with a golden file of tests/; with
// PV_UPDATE_GOLDEN=1 in the environment it rewrites the golden file instead.
void ExpectMatchesGolden(const std::string& actualPath, const std::string& goldenRelative);

// Runs a Unix command of the host (Wine starts ELF programs) and waits.
int RunHostCommand(const std::string& commandLine);
