#include "services/text_file.h"

#include "services/files.h"
#include "services/io_error.h"

namespace {
constexpr size_t FlushSize = 64 * 1024;
}

TextFileWriter::TextFileWriter(const std::string& name, Mode mode)
    : name_(name), writeThrough_(mode == Mode::AppendWriteThrough) {
  handle_ = CreateFileW(WideName(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        writeThrough_ ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE)
    throw IoError(static_cast<int>(GetLastError()), "cannot create " + name);
  if (writeThrough_) SetFilePointer(handle_, 0, nullptr, FILE_END);
  buffer_.reserve(FlushSize + 4096);
}

TextFileWriter::~TextFileWriter() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  try {
    Flush();
  } catch (const IoError&) {
    // A destructor cannot report; callers that care call Close().
  }
  CloseHandle(handle_);
}

void TextFileWriter::WriteLine(std::string_view line) {
  buffer_.append(line);
  buffer_.append("\r\n");
  if (writeThrough_ || buffer_.size() >= FlushSize) Flush();
}

void TextFileWriter::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(buffer_.size() - done);
    if (!WriteFile(handle_, buffer_.data() + done, chunk, &written, nullptr) || written == 0) {
      int code = static_cast<int>(GetLastError());
      buffer_.clear();
      throw IoError(code ? code : ERROR_DISK_FULL, "cannot write " + name_);
    }
    done += written;
  }
  buffer_.clear();
}

void TextFileWriter::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  HANDLE h = handle_;
  try {
    Flush();
  } catch (const IoError&) {
    handle_ = INVALID_HANDLE_VALUE;
    CloseHandle(h);
    throw;
  }
  handle_ = INVALID_HANDLE_VALUE;
  CloseHandle(h);
}
