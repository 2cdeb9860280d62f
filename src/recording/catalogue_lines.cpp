#include "recording/catalogue_lines.h"

#include <charconv>

namespace {

constexpr char StateAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ123456";

std::string TwoDigits(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

std::string PadRight(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string PadLeft(const std::string& s, size_t width) {
  return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

// The leading decimal number of a text (an optional minus sign, digits);
// 0 when there is none.
int64_t LeadingNumber(std::string_view text) {
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string_view Between(std::string_view line, char open, char close) {
  size_t a = line.find(open);
  if (a == std::string_view::npos) return {};
  size_t b = line.find(close, a + 1);
  return line.substr(a + 1, b == std::string_view::npos ? std::string_view::npos : b - a - 1);
}

}  // namespace

std::string StateNameOf(uint32_t packedDosTime) {
  // Unsigned, so that dates from 2044 on (top bit set) still give 7 digits.
  std::string name;
  uint32_t v = packedDosTime;
  for (int i = 0; i < 7; ++i) {
    name.insert(name.begin(), StateAlphabet[v % 32]);
    v >>= 5;
  }
  return name;
}

std::string MemberSuffix(int n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return ("." + digits).substr(0, 4);
}

std::string StateFileName(const std::string& name) { return name.substr(0, 12); }

std::string StateHeaderLine(const std::string& drives, const std::string& types,
                            const std::string& exclusionText) {
  return "{" + drives + "_" + types + "_" + exclusionText + "}";
}

bool ParseStateHeaderLine(std::string_view line, StateHeader& header) {
  if (line.empty() || line[0] != '{') return false;
  std::string_view rest = line.substr(1);
  // A missing "_" leaves the field empty and drops nothing, as a damaged
  // header is read field by field all the same.
  auto field = [&rest](size_t limit) {
    size_t bar = rest.find('_');
    if (bar == std::string_view::npos) return std::string();
    std::string value(rest.substr(0, bar).substr(0, limit));
    rest.remove_prefix(bar + 1);
    return value;
  };
  header.drives = field(10);
  header.types = field(10);
  header.exclusionText = rest.empty() ? "" : std::string(rest.substr(0, rest.size() - 1));
  return true;
}

std::string StateLabel(std::string_view firstIndexLine, std::string_view caption,
                       std::string_view indexFileName) {
  std::string_view date = firstIndexLine.substr(firstIndexLine.size() < 2 ? firstIndexLine.size() : 2);
  std::string label = PadRight(std::string(caption) + std::string(date), 70).substr(0, 70);
  return label + std::string(indexFileName);
}

std::string FormatCatalogueEntry(std::string_view name, int32_t size, int32_t packedTime,
                                 uint32_t attributes) {
  std::string line(name);
  line += EntrySeparator;
  line += std::to_string(size);
  line += '[';
  line += std::to_string(packedTime);
  line += ']';
  line += std::to_string(attributes);
  return line;
}

char ClassifyCatalogueLine(std::string_view line) {
  if (line.find(':') != std::string_view::npos) return 'C';
  size_t close = line.find(']');
  int64_t attributes = close == std::string_view::npos ? 0 : LeadingNumber(line.substr(close + 1));
  return attributes & 16 ? 'R' : 'F';
}

std::string CatalogueEntryName(std::string_view line) {
  if (ClassifyCatalogueLine(line) == 'C') return "";
  return std::string(line.substr(0, line.find(EntrySeparator)));
}

std::string CatalogueEntryTime(std::string_view line) {
  return std::string(Between(line, '[', ']'));
}

std::string CatalogueEntryDisplay(std::string_view line) {
  std::string size(Between(line, EntrySeparator, '['));
  uint32_t packed = static_cast<uint32_t>(LeadingNumber(CatalogueEntryTime(line)));
  int day = (packed >> 16) & 0x1F, month = (packed >> 21) & 0x0F;
  int year = static_cast<int>((packed >> 25) & 0x7F) + 1980;
  int hour = (packed >> 11) & 0x1F, minute = (packed >> 5) & 0x3F;
  // The size ends at column 21 behind a name of up to 12 characters; a
  // longer name is followed by one blank and the size, without alignment.
  std::string name = CatalogueEntryName(line);
  std::string columns = name.size() > 12 ? name + " " + size : PadRight(name, 12) + " " + PadLeft(size, 8);
  return columns + " " +
         TwoDigits(day) + "/" + TwoDigits(month) + "/" + std::to_string(year) + " " +
         TwoDigits(hour) + ":" + TwoDigits(minute);
}

std::string CatalogueEntryListText(std::string_view line) {
  std::string display = CatalogueEntryDisplay(line);
  if (display.size() > 25) display.erase(0, display.size() - 25);
  return CatalogueEntryName(line) + "\t" + display;
}

uint32_t SizeUnits(uint64_t byteCount) {
  return static_cast<uint32_t>((byteCount + 511) / 512);
}

std::string FormatRecordingDate(int year, int month, int day, int hour, int minute,
                                int second, std::string_view dateSeparator,
                                std::string_view timeSeparator) {
  std::string ds(dateSeparator), ts(timeSeparator);
  std::string text = "le " + TwoDigits(day) + ds + TwoDigits(month) + ds +
                     std::to_string(year) + " à " + TwoDigits(hour) + ts + TwoDigits(minute) +
                     ts + TwoDigits(second);
  return text.substr(0, 25);
}
