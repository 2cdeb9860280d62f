// The applications Windows lists for removal, as a user sees them in its
// own list of programs.
#pragma once
#include <string>
#include <vector>

struct RegisteredApplication {
  std::string displayName;      // whole, in CP1252
  std::string uninstallString;  // the command that removes it
};

// The sub-keys of Software\Microsoft\Windows\CurrentVersion\Uninstall in the
// 64-bit and 32-bit views of HKEY_LOCAL_MACHINE and in HKEY_CURRENT_USER
// that have a display name and an uninstall command, without the system
// components and updates Windows hides. An entry found in two places is
// listed once.
std::vector<RegisteredApplication> ListRegisteredApplications();
