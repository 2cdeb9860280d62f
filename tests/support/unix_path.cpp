#include "support/unix_path.h"

#include <windows.h>

#include <stdexcept>

std::string UnixPathOf(const std::string& windowsPath) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) throw std::runtime_error("not running under Wine");
  wchar_t wide[MAX_PATH * 2];
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
  char* unix = fn(wide);
  if (!unix) throw std::runtime_error("no Unix path for " + windowsPath);
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}
