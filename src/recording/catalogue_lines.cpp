#include "recording/catalogue_lines.h"

#include <charconv>

#include "services/folding.h"

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

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The fields of an entry line, found from its end; the parts that are
// missing stay empty.
CatalogueEntryFields FieldsOf(std::string_view line) {
  CatalogueEntryFields f;
  size_t close = line.rfind(']');
  if (close == std::string_view::npos) return f;
  size_t open = line.rfind('[', close);
  if (open == std::string_view::npos) return f;
  size_t separator = line.rfind(EntrySeparator, open);
  if (separator == std::string_view::npos) return f;
  f.name = line.substr(0, separator);
  f.size = line.substr(separator + 1, open - separator - 1);
  f.time = line.substr(open + 1, close - open - 1);
  f.attributes = line.substr(close + 1);
  return f;
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
  std::string label = PadRight(std::string(caption) + std::string(date), StateLabelWidth).substr(0, StateLabelWidth);
  return label + std::string(indexFileName);
}

std::string StateBaseOfLabel(std::string_view label) {
  std::string_view name = label.substr(label.size() < StateLabelWidth ? label.size() : StateLabelWidth);
  return std::string(name.substr(0, name.find('.')));
}

std::string FormatCatalogueEntry(std::string_view name, uint64_t size, int32_t packedTime,
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

bool SplitCatalogueEntry(std::string_view line, CatalogueEntryFields& fields) {
  if (line.find(':') != std::string_view::npos) return false;
  CatalogueEntryFields f = FieldsOf(line);
  std::string_view time = f.time.substr(!f.time.empty() && f.time[0] == '-' ? 1 : 0);
  if (f.name.empty() || !AllDigits(f.size) || !AllDigits(time) || !AllDigits(f.attributes))
    return false;
  fields = f;
  return true;
}

char ClassifyCatalogueLine(std::string_view line) {
  if (line.find(':') != std::string_view::npos) return 'C';
  return LeadingNumber(FieldsOf(line).attributes) & 16 ? 'R' : 'F';
}

std::string CatalogueEntryName(std::string_view line) {
  if (ClassifyCatalogueLine(line) == 'C') return "";
  return std::string(FieldsOf(line).name);
}

std::string CatalogueEntryTime(std::string_view line) { return std::string(FieldsOf(line).time); }

std::string CatalogueEntryDisplay(std::string_view line) {
  std::string size(FieldsOf(line).size);
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

namespace {

int CompareRanks(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = FoldFileNameChar(static_cast<unsigned char>(a[i]));
    unsigned char y = FoldFileNameChar(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// Directory lines stand in the order of the entry lines of their
// directories: the first component that differs decides, compared as the
// beginnings of their entry lines (name, separator, the size 0 and "[" of
// every sub-directory entry); an ancestor comes before its descendants.
int CompareDirectoryLines(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  for (;;) {
    size_t ai = a.find('\\', i), bj = b.find('\\', j);
    std::string_view x = a.substr(i, ai == std::string_view::npos ? std::string_view::npos : ai - i);
    std::string_view y = b.substr(j, bj == std::string_view::npos ? std::string_view::npos : bj - j);
    if (CompareRanks(x, y) != 0) {
      std::string ex(x), ey(y);
      ex += EntrySeparator;
      ex += "0[";
      ey += EntrySeparator;
      ey += "0[";
      return CompareRanks(ex, ey);
    }
    bool aEnds = ai == std::string_view::npos || ai + 1 >= a.size();
    bool bEnds = bj == std::string_view::npos || bj + 1 >= b.size();
    if (aEnds || bEnds) return aEnds == bEnds ? 0 : aEnds ? -1 : 1;
    i = ai + 1;
    j = bj + 1;
  }
}

}  // namespace

int CatalogueOrder(std::string_view a, std::string_view b, bool directoryLines) {
  return directoryLines ? CompareDirectoryLines(a, b) : CompareRanks(a, b);
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
