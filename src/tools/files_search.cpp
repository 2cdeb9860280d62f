#include "tools/files_search.h"

#include <windows.h>

#include <cctype>
#include <cstring>

namespace {

constexpr size_t MaxPath = 254;
constexpr uint8_t ListedOnlyWhenAsked = 2 | 4 | 8 | 16;  // hidden, system, volume label, directory

// The attribute bits of the DOS listing the walk was designed on; Windows
// NT adds bits of its own (128 for a file with none of these).
uint8_t DosAttributes(DWORD attributes) { return static_cast<uint8_t>(attributes & 0x3F); }

// A listing asked with an attribute mask returns the normal, read-only and
// archive entries always, and the hidden, system, volume-label and
// directory ones only when their bit is in the mask.
bool Listed(DWORD attributes, uint8_t mask) {
  return (DosAttributes(attributes) & ListedOnlyWhenAsked & ~mask) == 0;
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool ForbiddenInPath(unsigned char c) {
  return c < 32 || c == '"' || c == '/' || c == '<' || c == '>' || c == '|';
}

bool ForbiddenInMask(unsigned char c) {
  return c < 32 || c == '"' || c == '/' || c == ':' || c == '<' || c == '>' || c == '\\' || c == '|';
}

// The listing of one directory, closed on every way out (OnFound may raise).
class Listing {
 public:
  explicit Listing(const std::string& pattern) : h_(FindFirstFileA(pattern.c_str(), &entry_)) {}
  ~Listing() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;
  bool Found() const { return h_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAA& Entry() const { return entry_; }
  bool Next() { return FindNextFileA(h_, &entry_) != 0; }

 private:
  WIN32_FIND_DATAA entry_{};
  HANDLE h_;
};

}  // namespace

bool TFilesSearch::IsValidDirectoryPath(const std::string& path) {
  char previous = ' ';
  size_t componentLength = 0, afterDot = 0;
  bool dot = false;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (ForbiddenInPath(c)) return false;
    if (c == ':' && i != 1) return false;
    if (c == '\\') {
      if (previous == '\\') return false;
      if (dot && afterDot > 3) return false;
      componentLength = afterDot = 0;
      dot = false;
    } else if (c == '.') {
      if (dot || componentLength == 0) return false;
      dot = true;
    } else if (dot) {
      ++afterDot;
    } else {
      ++componentLength;
    }
    previous = static_cast<char>(c);
  }
  return !(dot && afterDot > 3);
}

bool TFilesSearch::IsValidFileMask(const std::string& mask) {
  std::string text = mask.substr(0, MaxPath);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t dot = text.find('.', 1);
  std::string name = text, extension;
  if (dot != std::string::npos) {
    name = text.substr(0, dot);
    extension = text.substr(dot + 1, 3);
  }
  for (const std::string* part : {&name, &extension})
    for (char c : *part)
      if (ForbiddenInMask(static_cast<unsigned char>(c))) return false;
  return true;
}

void TFilesSearch::SetInitialDir(const std::string& directory) {
  const std::string path = directory.substr(0, MaxPath);
  if (path == initialDir_) return;
  if (!IsValidDirectoryPath(path)) throw EDirectoryError("Répertoire incorrect : " + path);
  initialDir_ = path;
}

void TFilesSearch::SetFileFilter(const std::string& mask) {
  if (!IsValidFileMask(mask)) throw EDirectoryError("Masque de fichier incorrect : " + mask);
  fileFilter_ = mask;
}

void TFilesSearch::SetDirectoryFilter(const std::string& mask) {
  if (!IsValidFileMask(mask)) throw EDirectoryError("Masque de répertoire incorrect : " + mask);
  directoryFilter_ = mask;
}

void TFilesSearch::SetIncludeDirectoryFiles(bool on) {
  if (!on && onlyDirectories_) throw EDirectoryError("Exclusion invalide");
  includeDirectoryFiles_ = on;
  SetBit(fileAttributes_, 16, on);
}

void TFilesSearch::SetOnlyDirectories(bool on) {
  if (on && !includeDirectoryFiles_) throw EDirectoryError("Exclusion invalide");
  onlyDirectories_ = on;
}

void TFilesSearch::SetStopped(bool stopped) {
  Stopped = stopped;
  if (OnSearchStatus) OnSearchStatus(*this);
}

void TFilesSearch::Execute() {
  quitTaken_ = false;
  SetStopped(false);
  try {
    SearchDirectory(initialDir_, fileFilter_.empty() ? "*.*" : fileFilter_);
  } catch (...) {
    if (quitTaken_) PostQuitMessage(quitCode_);
    throw;
  }
  SetStopped(true);
  // Being asked to end while walking is not forgotten.
  if (quitTaken_) PostQuitMessage(quitCode_);
}

// The sub-directories first, depth first, then the files of the directory.
void TFilesSearch::SearchDirectory(std::string directory, const std::string& mask) {
  // A path longer than the component holds is left out, never cut: cut, it
  // could name another directory, whose files would be reported instead.
  if (directory.size() > MaxPath) return;
  if (directory.empty()) {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    directory = current;
  }
  if (directory.back() != ':' && directory.back() != '\\') directory += '\\';
  Listing list(directory + directoryFilter_);
  if (!list.Found()) return;
  bool found = false;
  do {
    const WIN32_FIND_DATAA& entry = list.Entry();
    if (!Listed(entry.dwFileAttributes, directoryAttributes_)) continue;
    found = true;
    const uint8_t attributes = DosAttributes(entry.dwFileAttributes);
    if (IsDotEntry(entry.cFileName) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    currentDir_ = directory;
    if (inSubDirectories_ && !(attributes & directoryExclusion_) && !(excludeNormalDir_ && attributes == 16))
      SearchDirectory(directory + entry.cFileName, mask);
    DispatchOneMessage();
  } while (!Stopped && list.Next());
  if (found && !Stopped) SearchFiles(directory, mask);
}

void TFilesSearch::SearchFiles(const std::string& directory, const std::string& mask) {
  if ((directory + mask).size() > MaxPath) return;
  Listing list(directory + mask);
  if (!list.Found()) return;
  do {
    const WIN32_FIND_DATAA& entry = list.Entry();
    if (!Listed(entry.dwFileAttributes, fileAttributes_) || IsDotEntry(entry.cFileName)) continue;
    const uint8_t attributes = DosAttributes(entry.dwFileAttributes);
    const bool reported = (directory.size() + std::strlen(entry.cFileName)) <= MaxPath &&
                          !(attributes & fileExclusion_) &&
                          !(excludeNormalFiles_ && (attributes == 0 || attributes == 16)) &&
                          !(onlyDirectories_ && !(attributes & FILE_ATTRIBUTE_DIRECTORY));
    if (reported) {
      foundFile_ = directory + entry.cFileName;
      if (OnFound) OnFound(*this);
    }
    DispatchOneMessage();
  } while (!Stopped && list.Next());
}

void TFilesSearch::DispatchOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  if (msg.message == WM_QUIT) {
    quitTaken_ = true;
    quitCode_ = static_cast<int>(msg.wParam);
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}
