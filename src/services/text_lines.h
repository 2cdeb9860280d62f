// Reading CRLF text line by line from a stream. No Windows headers.
#pragma once
#include <istream>
#include <string>

// Reads one line without its line end ("\r\n", or a lone "\n"). False at the
// end of the stream when nothing was read.
inline bool ReadTextLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}
