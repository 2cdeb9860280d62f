// Buffered CP1252 text files with CRLF line ends, as every state file,
// report and log of the program is written. Failures raise IoError.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "services/line_sink.h"

class TextFileWriter : public LineSink {
 public:
  enum class Mode {
    Create,             // creates or truncates the file; lines are buffered
    AppendWriteThrough  // opens or creates it and adds to its end, each line
                        // handed to the system as it is written: a log that
                        // must tell, after a crash, what was done
  };
  explicit TextFileWriter(const std::string& name, Mode mode = Mode::Create);
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  void WriteLine(std::string_view line) override;
  void Close();  // flushes; raises on failure

 private:
  void Flush();
  HANDLE handle_;
  std::string name_;
  bool writeThrough_ = false;
  std::string buffer_;
};
