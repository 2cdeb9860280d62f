// Input/output errors of the file layer. They end the operation in progress
// and reach the window that started it, which shows DiskErrorText(code).
#pragma once
#include <stdexcept>
#include <string>

struct IoError : std::runtime_error {
  int code;  // Windows error code (2 file not found, 5 access denied, ...)
  IoError(int code, const std::string& what) : std::runtime_error(what), code(code) {}
};

// The French text of the disk error box for an error code.
std::string DiskErrorText(int code);
