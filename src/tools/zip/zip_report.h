// What the libraries tell their caller: the callback of the request, fed
// with records that carry the request's owner and component. A 1 from the
// callback stops the operation at once: the call that got it throws
// Stopped, and nothing more is sent.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/zip/zip_container.h"
#include "tools/zip/zip_records.h"

namespace zip {

struct Stopped {};

class Reporter {
 public:
  Reporter(HWND owner, void* component, ZipCallbackFunction callback, bool verbose)
      : owner_(owner), component_(component), callback_(callback), verbose_(verbose) {}

  void NewFile(const std::string& name, uint64_t size);
  void Step();
  void EndBatch();
  void Error(const Failure& failure) { Message(failure.code, failure.text); }
  // A message with its code (0: information); always sent.
  void Message(int32_t code, const std::string& text);
  // Information sent only when the request asked for more messages.
  void Detail(const std::string& text);

  bool Verbose() const { return verbose_; }

 private:
  void Send(int32_t action, int32_t code, uint64_t size, const std::string& text);

  HWND owner_;
  void* component_;
  ZipCallbackFunction callback_;
  bool verbose_;
  bool stopped_ = false;
};

// The fields both requests share, checked before anything is done.
struct RequestFrame {
  int32_t version;
  int32_t check;
  int32_t patternCount;
  const char* archiveName;
  const char* const* patterns;
};
// Why the request is refused, or "" when it may run.
std::string RequestRefusal(const RequestFrame& frame);
// The archive name and the patterns, read within their buffers.
std::string TextOfBuffer(const char* buffer, size_t bufferSize);
std::vector<std::string> PatternsOf(const RequestFrame& frame);

// An entry point's whole call: the request checked, then `work`, which
// counts in `done` the files it finished. A refused request, a failure or
// anything unforeseen ends with its message and the end of the batch; a stop
// asked by the callback ends at once. No exception leaves the library; the
// answer is the count finished.
int32_t RunRequest(Reporter& report, const RequestFrame& frame, const char* library,
                   const std::function<void(int32_t& done)>& work);

}  // namespace zip
