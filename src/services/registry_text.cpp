#include "services/registry_text.h"

#include <array>
#include <charconv>

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

// The units of the CP1252 bytes 0x80 to 0x9F; the five bytes CP1252 leaves
// undefined keep their own value, as Windows converts them.
constexpr char16_t HighUnits[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t UnitOf(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? HighUnits[b - 0x80] : static_cast<char16_t>(b);
}

// The CP1252 byte of a unit, or -1.
int ByteOf(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u < 0x100)) return u;
  for (int i = 0; i < 32; ++i)
    if (HighUnits[i] == u) return 0x80 + i;
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendHexByte(std::string& out, uint8_t b) {
  out += HexDigits[b >> 4];
  out += HexDigits[b & 15];
}

// "01,AB,FF" (empty for no bytes).
std::string HexBytes(const std::vector<uint8_t>& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    AppendHexByte(out, data[i]);
  }
  return out;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& data) {
  data.clear();
  if (text.empty()) return true;
  if ((text.size() + 1) % 3 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 3) {
    int high = HexValue(text[i]), low = HexValue(text[i + 1]);
    if (high < 0 || low < 0 || (i + 2 < text.size() && text[i + 2] != ',')) return false;
    data.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

template <typename Number>
bool ParseHexNumber(std::string_view text, size_t digits, Number& value) {
  if (text.size() != digits) return false;
  value = 0;
  for (char c : text) {
    int d = HexValue(c);
    if (d < 0) return false;
    value = static_cast<Number>(value * 16 + static_cast<Number>(d));
  }
  return true;
}

template <typename Number>
std::string HexNumber(Number value, int digits) {
  std::string out;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += HexDigits[(value >> shift) & 15];
  return out;
}

uint64_t LittleEndian(const std::vector<uint8_t>& data) {
  uint64_t value = 0;
  for (size_t i = data.size(); i-- > 0;) value = value << 8 | data[i];
  return value;
}

std::vector<uint8_t> LittleEndianBytes(uint64_t value, size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
  return data;
}

// A text the export syntax carries between quotes as it is: CP1252 only,
// no control character, and for names no double quote.
bool PlainInQuotes(std::u16string_view text, bool name, std::string& cp1252) {
  if (!ToCp1252(text, cp1252)) return false;
  for (unsigned char c : cp1252)
    if (c < 0x20 || (name && c == '"')) return false;
  return true;
}

// "text" when plain, %"escaped" otherwise; a quote is escaped too.
std::string QuotedText(std::u16string_view text, bool name) {
  std::string plain;
  if (PlainInQuotes(text, name, plain)) return "\"" + plain + "\"";
  std::string escaped;
  for (char c : EscapeRegistryText(text, false)) escaped += c == '"' ? std::string("%22") : std::string(1, c);
  return "%\"" + escaped + "\"";
}

// The quoted text at the start of `text` (plain: up to the next quote, or
// the last one of the text for a final string), its end in `end`.
bool ParseQuoted(std::string_view text, bool toLastQuote, std::u16string& out, size_t& end) {
  if (text.size() >= 2 && text[0] == '%' && text[1] == '"') {
    size_t close = text.find('"', 2);
    if (close == std::string_view::npos) return false;
    end = close + 1;
    return UnescapeRegistryText(text.substr(2, close - 2), out);
  }
  if (text.empty() || text[0] != '"') return false;
  size_t close = toLastQuote ? text.size() - 1 : text.find('"', 1);
  if (close == std::string_view::npos || close == 0 || text[close] != '"') return false;
  out = FromCp1252(text.substr(1, close - 1));
  end = close + 1;
  return true;
}

}  // namespace

std::u16string FromCp1252(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out += UnitOf(c);
  return out;
}

bool ToCp1252(std::u16string_view text, std::string& out) {
  out.clear();
  bool exact = true;
  for (char16_t u : text) {
    int b = ByteOf(u);
    if (b < 0) exact = false;
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return exact;
}

bool StringOfData(const std::vector<uint8_t>& data, std::u16string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  text.clear();
  for (size_t i = 0; i + 2 < data.size(); i += 2) {
    char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (u == 0) return false;
    text += u;
  }
  return data[data.size() - 2] == 0 && data.back() == 0;
}

std::vector<uint8_t> DataOfString(std::u16string_view text) {
  std::vector<uint8_t> data;
  for (char16_t u : text) {
    data.push_back(static_cast<uint8_t>(u & 0xFF));
    data.push_back(static_cast<uint8_t>(u >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

bool StringsOfMultiData(const std::vector<uint8_t>& data, std::vector<std::u16string>& strings) {
  // The strings, each ended by a zero, then the zero of the empty string
  // that ends the list.
  if (data.size() < 4 || data.size() % 2 != 0) return false;
  std::u16string units;
  for (size_t i = 0; i < data.size(); i += 2) units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  if (units[units.size() - 1] != 0 || units[units.size() - 2] != 0) return false;
  units.resize(units.size() - 2);
  strings.clear();
  if (units.empty()) return true;
  size_t at = 0;
  for (;;) {
    size_t zero = units.find(u'\0', at);
    strings.push_back(units.substr(at, zero == std::u16string::npos ? std::u16string::npos : zero - at));
    if (zero == std::u16string::npos) return true;
    at = zero + 1;
  }
}

std::vector<uint8_t> DataOfStrings(const std::vector<std::u16string>& strings) {
  std::u16string units;
  for (size_t i = 0; i < strings.size(); ++i) {
    if (i) units += u'\0';
    units += strings[i];
  }
  std::vector<uint8_t> data = DataOfString(units);  // the last string's zero
  data.push_back(0);                                // the empty string's
  data.push_back(0);
  return data;
}

std::string EscapeRegistryText(std::u16string_view text, bool name) {
  std::string out;
  for (char16_t u : text) {
    int b = ByteOf(u);
    if (b < 0) {
      out += "%u" + HexNumber(static_cast<uint32_t>(u), 4);
    } else if (b < 0x20 || b == '%' || (name && b == '=')) {
      out += '%';
      AppendHexByte(out, static_cast<uint8_t>(b));
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

bool UnescapeRegistryText(std::string_view text, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != '%') {
      out += UnitOf(c);
      continue;
    }
    uint32_t unit = 0;
    if (i + 5 < text.size() && text[i + 1] == 'u' && ParseHexNumber(text.substr(i + 2, 4), 4, unit)) {
      out += static_cast<char16_t>(unit);
      i += 5;
    } else if (i + 2 < text.size() && ParseHexNumber(text.substr(i + 1, 2), 2, unit)) {
      out += UnitOf(static_cast<unsigned char>(unit));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

std::string SnapshotKeyLine(char depthLetter, std::u16string_view name) {
  return std::string(1, depthLetter) + EscapeRegistryText(name, true);
}

std::string SnapshotValueLine(const RegistryValueData& value) {
  const std::string name = EscapeRegistryText(value.name, true);
  std::u16string text;
  if (value.type == 1 && StringOfData(value.data, text))
    return "S" + name + "=" + EscapeRegistryText(text, false);
  if (value.type == 3) return "B" + name + (value.data.empty() ? "" : "=" + HexBytes(value.data));
  if (value.type == 4 && value.data.size() == 4)
    return "W" + name + "=" + HexNumber(static_cast<uint32_t>(LittleEndian(value.data)), 8);
  return "X" + HexNumber(value.type, 8) + ":" + name + "=" + HexBytes(value.data);
}

bool ParseSnapshotValueLine(std::string_view line, bool escaped, RegistryValueData& value) {
  if (line.empty()) return false;
  RegistryValueData v;
  const char kind = line[0];
  std::string_view rest = line.substr(1);
  if (kind == 'X') {
    if (rest.size() < 9 || rest[8] != ':' || !ParseHexNumber(rest.substr(0, 8), 8, v.type))
      return false;
    rest = rest.substr(9);
  } else if (kind != 'S' && kind != 'B' && kind != 'W') {
    return false;
  }
  // The name runs to the first "=": escaped names hold none of their own.
  size_t eq = rest.find('=');
  std::string_view name = rest.substr(0, eq);
  std::string_view data = eq == std::string_view::npos ? std::string_view() : rest.substr(eq + 1);
  if (escaped) {
    if (!UnescapeRegistryText(name, v.name)) return false;
  } else {
    v.name = FromCp1252(name);
  }
  switch (kind) {
    case 'S': {
      v.type = 1;
      std::u16string text;
      if (escaped) {
        if (!UnescapeRegistryText(data, text)) return false;
      } else {
        text = FromCp1252(data);
      }
      v.data = DataOfString(text);
      break;
    }
    case 'B':
      v.type = 3;
      if (!ParseHexBytes(data, v.data)) return false;
      break;
    case 'W': {
      v.type = 4;
      uint32_t number = 0;
      if (!ParseHexNumber(data, 8, number)) return false;
      v.data = LittleEndianBytes(number, 4);
      break;
    }
    default:
      if (eq == std::string_view::npos || !ParseHexBytes(data, v.data)) return false;
      break;
  }
  value = std::move(v);
  return true;
}

std::string CanonicalSnapshotLine(const std::string& line, bool escaped) {
  if (escaped || line.empty()) return line;
  const char c = line[0];
  if (c >= 'a' && c <= 'z') return SnapshotKeyLine(c, FromCp1252(std::string_view(line).substr(1)));
  RegistryValueData value;
  if (ParseSnapshotValueLine(line, false, value)) return SnapshotValueLine(value);
  return line;
}

std::string ReportValueText(const RegistryValueData& value) {
  std::string text;
  std::string plain;
  if (value.name.empty() && value.type == 1) text = "@";
  else text = QuotedText(value.name, true);
  text += '=';
  std::u16string string;
  std::vector<std::u16string> strings;
  switch (value.type) {
    case 1:
      if (StringOfData(value.data, string)) return text + QuotedText(string, false);
      break;
    case 2:
      if (StringOfData(value.data, string)) return text + "expand:" + QuotedText(string, false);
      break;
    case 3:
      return text + "hex:" + HexBytes(value.data);
    case 4:
      if (value.data.size() == 4)
        return text + "dword:" + HexNumber(static_cast<uint32_t>(LittleEndian(value.data)), 8);
      break;
    case 7:
      if (StringsOfMultiData(value.data, strings)) {
        text += "multi:";
        for (size_t i = 0; i < strings.size(); ++i) {
          if (i) text += ',';
          // Inside a list a quote always ends its string: it is escaped.
          text += QuotedText(strings[i], true);
        }
        return text;
      }
      break;
    case 11:
      if (value.data.size() == 8) return text + "qword:" + HexNumber(LittleEndian(value.data), 16);
      break;
    default:
      break;
  }
  char type[12];
  auto [end, ec] = std::to_chars(type, type + sizeof type, value.type, 16);
  (void)ec;
  return text + "hex(" + std::string(type, end) + "):" + HexBytes(value.data);
}

bool ParseReportValueText(std::string_view text, RegistryValueData& value) {
  RegistryValueData v;
  size_t at = 0;
  bool defaultString = false;
  if (text.size() >= 2 && text[0] == '@' && text[1] == '=') {
    defaultString = true;
    at = 1;
  } else if (!ParseQuoted(text, false, v.name, at)) {
    return false;
  }
  if (at >= text.size() || text[at] != '=') return false;
  std::string_view data = text.substr(at + 1);
  auto startsWith = [&](std::string_view prefix) {
    if (data.substr(0, prefix.size()) != prefix) return false;
    data.remove_prefix(prefix.size());
    return true;
  };
  auto finalString = [&](uint32_t type) {
    std::u16string string;
    size_t end = 0;
    if (!ParseQuoted(data, data.substr(0, 1) == "\"", string, end) || end != data.size()) return false;
    v.type = type;
    v.data = DataOfString(string);
    return true;
  };
  bool ok = false;
  if (!data.empty() && (data[0] == '"' || data.substr(0, 2) == "%\"")) {
    ok = finalString(1);
  } else if (defaultString) {
    return false;  // "@" names the default string only
  } else if (startsWith("hex:")) {
    v.type = 3;
    ok = ParseHexBytes(data, v.data);
  } else if (startsWith("dword:")) {
    uint32_t number = 0;
    v.type = 4;
    ok = ParseHexNumber(data, 8, number);
    v.data = LittleEndianBytes(number, 4);
  } else if (startsWith("qword:")) {
    uint64_t number = 0;
    v.type = 11;
    ok = ParseHexNumber(data, 16, number);
    v.data = LittleEndianBytes(number, 8);
  } else if (startsWith("expand:")) {
    ok = finalString(2);
  } else if (startsWith("multi:")) {
    std::vector<std::u16string> strings;
    ok = true;
    while (ok && !data.empty()) {
      std::u16string string;
      size_t end = 0;
      ok = ParseQuoted(data, false, string, end);
      strings.push_back(string);
      data.remove_prefix(ok ? end : 0);
      if (ok && !data.empty()) ok = data[0] == ',' && data.size() > 1;
      if (ok && !data.empty()) data.remove_prefix(1);
    }
    v.type = 7;
    v.data = DataOfStrings(strings);
  } else if (startsWith("hex(")) {
    size_t close = data.find("):");
    uint32_t type = 0;
    auto [end, ec] = std::from_chars(data.data(), data.data() + (close == std::string_view::npos ? 0 : close), type, 16);
    ok = close != std::string_view::npos && close > 0 && ec == std::errc() && end == data.data() + close;
    v.type = type;
    if (ok) ok = ParseHexBytes(data.substr(close + 2), v.data);
  }
  if (!ok) return false;
  value = std::move(v);
  return true;
}

std::string ReportKeyPath(const std::vector<std::u16string>& names) {
  std::string plain;
  bool allPlain = true;
  for (size_t i = 0; i < names.size() && allPlain; ++i) {
    std::string part;
    allPlain = PlainInQuotes(names[i], false, part);
    if (i) plain += '\\';
    plain += part;
  }
  if (allPlain) return plain;
  std::string escaped = "%";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) escaped += '\\';
    escaped += EscapeRegistryText(names[i], false);
  }
  return escaped;
}

bool ParseReportKeyPath(std::string_view text, std::vector<std::u16string>& names) {
  names.clear();
  const bool escaped = !text.empty() && text[0] == '%';
  if (escaped) text.remove_prefix(1);
  size_t at = 0;
  for (;;) {
    size_t slash = text.find('\\', at);
    std::string_view part = text.substr(at, slash == std::string_view::npos ? std::string_view::npos : slash - at);
    std::u16string name;
    if (escaped) {
      if (!UnescapeRegistryText(part, name)) return false;
    } else {
      name = FromCp1252(part);
    }
    names.push_back(name);
    if (slash == std::string_view::npos) return true;
    at = slash + 1;
  }
}

bool ScriptValueLine(const RegistryValueData& value, std::string& line) {
  std::string name;
  if (!ToCp1252(value.name, name)) return false;
  auto quoted = [](const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  };
  line = value.name.empty() ? "@=" : quoted(name) + "=";
  std::u16string string;
  std::string cp1252;
  if (value.type == 1 && StringOfData(value.data, string) && ToCp1252(string, cp1252) &&
      cp1252.find_first_of("\r\n") == std::string::npos) {
    line += quoted(cp1252);
  } else if (value.type == 4 && value.data.size() == 4) {
    line += "dword:" + HexNumber(static_cast<uint32_t>(LittleEndian(value.data)), 8);
  } else if (value.type == 3) {
    line += "hex:" + HexBytes(value.data);
  } else if (value.type == 1 || value.type == 2 || value.type == 7) {
    // Read back as CP1252 text and widened: written so.
    std::u16string units;
    for (size_t i = 0; i + 1 < value.data.size(); i += 2)
      units += static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8);
    if (value.data.size() % 2 != 0 || !ToCp1252(units, cp1252)) return false;
    line += "hex(" + std::to_string(value.type) + "):" +
            HexBytes(std::vector<uint8_t>(cp1252.begin(), cp1252.end()));
  } else {
    char type[12];
    auto [end, ec] = std::to_chars(type, type + sizeof type, value.type, 16);
    (void)ec;
    line += "hex(" + std::string(type, end) + "):" + HexBytes(value.data);
  }
  return true;
}

bool ScriptValueDeletion(const std::u16string& name, std::string& line) {
  std::string text;
  if (!ToCp1252(name, text)) return false;
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  line = name.empty() ? "@=-" : out + "\"=-";
  return true;
}

bool ScriptKeyLine(const std::vector<std::u16string>& names, bool deletion, std::string& line) {
  static const std::array<std::pair<std::string_view, std::string_view>, 4> Roots = {{
      {"HKEY_LOCAL_MACHINE", "HKey_Local_Machine"},
      {"HKEY_USERS", "HKey_Users"},
      {"HKEY_CLASSES_ROOT", "HKey_Classes_Root"},
      {"HKEY_CURRENT_USER", "HKey_Current_User"},
  }};
  if (names.empty()) return false;
  std::string root;
  if (!ToCp1252(names[0], root)) return false;
  std::string path;
  for (const auto& [script, report] : Roots) {
    std::string upper = root;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (upper == script) path = std::string(script);
  }
  if (path.empty()) return false;
  for (size_t i = 1; i < names.size(); ++i) {
    std::string part;
    if (!ToCp1252(names[i], part) || part.find_first_of("\r\n[]") != std::string::npos) return false;
    path += "\\" + part;
  }
  line = (deletion ? "[-" : "[") + path + "]";
  return true;
}
