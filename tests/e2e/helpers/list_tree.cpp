// Lists a directory tree as a Windows program sees it, for the end-to-end
// tests' before/after listings: one line per entry, tab-separated,
//   kind  path  size  last-write  attributes
// kind is d (directory), f (file) or l (reparse point: a symbolic link of
// the host, not followed); path is relative to the root, "." for the root
// itself, with "/" between its parts (as find prints it on the host side,
// which the scripts join these lines with); size is 0 for directories;
// last-write is in whole seconds, UTC (2024-05-01T10:00:03); attributes are the
// letters RHSAD, a "-" for each one missing, then the other attribute bits
// in hexadecimal when there are any.
//
// The walk goes through "\\?\" paths, so that no name is cut at MAX_PATH and
// no trailing blank or dot is trimmed away. Usage: list_tree.exe <root>
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

HANDLE Out;
bool WriteFailed = false;

void Write(const std::string& text) {
  DWORD written = 0;
  if (!WriteFile(Out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size())
    WriteFailed = true;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                      nullptr, nullptr);
  return bytes;
}

// "YYYY-MM-DDTHH:MM:SS" in UTC: the time cut to whole seconds.
std::string TimeText(const FILETIME& t) {
  SYSTEMTIME st{};
  if (!FileTimeToSystemTime(&t, &st)) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
                st.wHour, st.wMinute, st.wSecond);
  return text;
}

std::string AttributeText(DWORD a) {
  std::string text = "-----";
  const DWORD bits[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                        FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_DIRECTORY};
  DWORD rest = a;
  for (int i = 0; i < 5; ++i) {
    if (a & bits[i]) text[static_cast<size_t>(i)] = "RHSAD"[i];
    rest &= ~bits[i];
  }
  if (rest) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "+%lx", static_cast<unsigned long>(rest));
    text += hex;
  }
  return text;
}

void Entry(char kind, const std::string& path, uint64_t size, const FILETIME& written,
           DWORD attributes) {
  Write(std::string(1, kind) + "\t" + path + "\t" + std::to_string(size) + "\t" +
        TimeText(written) + "\t" + AttributeText(attributes) + "\n");
}

int Failures = 0;

void Walk(const std::wstring& directory, const std::string& relative) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW((directory + L"\\*").c_str(), FindExInfoBasic, &fd,
                              FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "list_tree: cannot list %s (error %lu)\n", relative.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    ++Failures;
    return;
  }
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    std::string path = relative + "/" + Utf8(name);
    uint64_t size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    DWORD a = fd.dwFileAttributes;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
      Entry('l', path, 0, fd.ftLastWriteTime, a);
    } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
      Entry('d', path, 0, fd.ftLastWriteTime, a);
      Walk(directory + L"\\" + name, path);
    } else {
      Entry('f', path, size, fd.ftLastWriteTime, a);
    }
  } while (FindNextFileW(h, &fd));
  DWORD end = GetLastError();
  FindClose(h);
  if (end != ERROR_NO_MORE_FILES) {
    std::fprintf(stderr, "list_tree: listing of %s stopped (error %lu)\n", relative.c_str(),
                 static_cast<unsigned long>(end));
    ++Failures;
  }
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 2) {
    std::fprintf(stderr, "usage: list_tree.exe <root>\n");
    return 2;
  }
  Out = GetStdHandle(STD_OUTPUT_HANDLE);
  std::wstring root = argv[1];
  // "\\?\" paths take no "/" for a separator.
  for (wchar_t& c : root)
    if (c == L'/') c = L'\\';
  while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
  if (root.rfind(L"\\\\?\\", 0) != 0) root = L"\\\\?\\" + root;

  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(root.c_str(), GetFileExInfoStandard, &data) ||
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::fprintf(stderr, "list_tree: %ls is no directory (error %lu)\n", root.c_str(),
                 static_cast<unsigned long>(GetLastError()));
    return 2;
  }
  Entry('d', ".", 0, data.ftLastWriteTime, data.dwFileAttributes);
  Walk(root, ".");
  if (WriteFailed) {
    std::fprintf(stderr, "list_tree: cannot write the listing\n");
    return 3;
  }
  return Failures ? 1 : 0;
}
