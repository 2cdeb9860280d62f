// Where text engines write their lines. The file behind it adds the line
// end and raises IoError when the disk refuses.
#pragma once
#include <string_view>

class LineSink {
 public:
  virtual void WriteLine(std::string_view line) = 0;

 protected:
  ~LineSink() = default;
};
