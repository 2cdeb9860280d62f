#include "tools/zip/zip_patterns.h"

#include <algorithm>
#include <cstring>

namespace zip {

namespace {

// CP1252 to lower case: ASCII, the accented capitals C0-DE (not the
// multiplication sign D7), and Š Œ Ž Ÿ.
unsigned char Folded(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

bool Match(const char* p, const char* n) {
  // Iterative, with one backtracking point: linear in practice, and a
  // pattern of many stars cannot make it explode.
  const char *star = nullptr, *resume = nullptr;
  while (*n) {
    if (*p == '*') {
      star = p++;
      resume = n;
    } else if (*p == '?' || (*p && Folded(*p) == Folded(*n))) {
      ++p;
      ++n;
    } else if (star) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Drops "C:" and "\\server\share" from the front of a path.
std::string WithoutRoot(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(2);
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    const std::vector<std::string> parts = PathParts(path);
    std::string rest;
    for (size_t i = 2; i < parts.size(); ++i) rest += "\\" + parts[i];
    return rest;
  }
  return path;
}

bool PartsMatchAtEnd(const std::vector<std::string>& patterns, size_t patternCount,
                     const std::vector<std::string>& names, size_t nameCount) {
  if (nameCount > patternCount) return false;
  const size_t skip = patternCount - nameCount;
  for (size_t i = 0; i < nameCount; ++i)
    if (!WildcardMatch(patterns[skip + i], names[i])) return false;
  return true;
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  return Match(pattern.c_str(), name.c_str());
}

std::string FoldedName(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(Folded(static_cast<unsigned char>(c)));
  return folded;
}

bool SameName(const std::string& a, const std::string& b) { return FoldedName(a) == FoldedName(b); }

std::vector<std::string> PathParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (IsSeparator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string NamePart(const std::string& path) {
  const std::vector<std::string> parts = PathParts(path);
  return parts.empty() ? std::string() : parts.back();
}

std::string StoredPath(const std::string& windowsPath) {
  std::string stored;
  for (const std::string& part : PathParts(WithoutRoot(windowsPath))) {
    if (part == "." || part == "..") continue;
    if (!stored.empty()) stored += '/';
    stored += part;
  }
  return stored;
}

bool PatternSelectsEntry(const std::string& pattern, const std::string& entryName, bool useDirectories) {
  const std::vector<std::string> patternParts = PathParts(WithoutRoot(pattern));
  const std::vector<std::string> entryParts = PathParts(entryName);
  if (patternParts.empty() || entryParts.empty()) return false;
  if (!WildcardMatch(patternParts.back(), entryParts.back())) return false;
  const size_t patternDirectories = patternParts.size() - 1, entryDirectories = entryParts.size() - 1;
  if (!useDirectories || patternDirectories == 0 || entryDirectories == 0) return true;
  return PartsMatchAtEnd(patternParts, patternDirectories, entryParts, entryDirectories);
}

bool IsUnsafeEntryName(const std::string& entryName) {
  if (entryName.empty() || IsSeparator(entryName[0])) return true;
  if (entryName.find(':') != std::string::npos) return true;
  const std::vector<std::string> parts = PathParts(entryName);
  return std::find(parts.begin(), parts.end(), "..") != parts.end();
}

std::string TargetPathOf(const std::string& entryName, bool keepDirectories) {
  std::string target;
  const std::vector<std::string> parts = PathParts(entryName);
  for (size_t i = keepDirectories ? 0 : parts.size() - 1; i < parts.size(); ++i) {
    if (parts[i] == ".") continue;
    if (!target.empty()) target += '\\';
    target += parts[i];
  }
  for (char& c : target)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>\"|?*", c)) c = '_';
  return target;
}

}  // namespace zip
