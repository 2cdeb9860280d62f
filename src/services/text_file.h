// Buffered CP1252 text files with CRLF line ends, as every state file,
// report and log of the program is written. Failures raise IoError.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "services/line_sink.h"

class TextFileWriter : public LineSink {
 public:
  // Creates or truncates the file.
  explicit TextFileWriter(const std::string& name);
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  void WriteLine(std::string_view line) override;
  void Close();  // flushes; raises on failure

 private:
  void Flush();
  HANDLE handle_;
  std::string name_;
  std::string buffer_;
};
