// The one definition of how registry keys and values are written as text:
// in the lines of a registry snapshot, in the registry blocks of a report,
// and in the registry scripts made from a report. No Windows headers.
//
// Names and data are held as the registry holds them: names in UTF-16,
// data as the bytes of the value, with its type number. Text is CP1252.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RegistryValueData {
  std::u16string name;  // empty for the key's default value
  uint32_t type = 1;
  std::vector<uint8_t> data;
  bool operator==(const RegistryValueData&) const = default;
};

// CP1252 and UTF-16, as Windows converts them (every byte has its unit).
std::u16string FromCp1252(std::string_view text);
// False when a unit has no CP1252 byte; `text` then holds "?" for it.
bool ToCp1252(std::u16string_view text, std::string& out);

// The string types' data: the UTF-16 units of one terminated string, or of
// terminated strings ending with an empty one. False when the data is not
// such a string, which is then shown as its bytes.
bool StringOfData(const std::vector<uint8_t>& data, std::u16string& text);
std::vector<uint8_t> DataOfString(std::u16string_view text);
bool StringsOfMultiData(const std::vector<uint8_t>& data, std::vector<std::u16string>& strings);
std::vector<uint8_t> DataOfStrings(const std::vector<std::u16string>& strings);

// ---- snapshot lines -------------------------------------------------------
//
// The first line is the signature "BDR95". A snapshot written by this
// version has the line EscapedSnapshotMark after it: its names and texts
// are escaped ("%25" for "%", "%3D" for "=" in a name, "%0D" "%0A" for a
// line break, "%uXXXX" for a character CP1252 has not), so that every name
// and text is read back exactly. Snapshots without it hold them as they
// are, and are read as they always were (a name ends at the first "=").
//
//   key line:   depth letter ("y" a root, "x" below, ... "a") + name
//   "S" name "=" text              a string (type 1), terminated
//   "B" name ["=" bytes]           binary (type 3), "01,AB,FF"
//   "W" name "=" 8 hex digits      a 32-bit number (type 4) of 4 bytes
//   "X" type ":" name "=" bytes    any other value: its type in 8 hex
//                                  digits, its bytes as they are stored
constexpr std::string_view EscapedSnapshotMark = "*";

std::string EscapeRegistryText(std::u16string_view text, bool name);
// False when the text holds a "%" that begins no escape.
bool UnescapeRegistryText(std::string_view text, std::u16string& out);

std::string SnapshotKeyLine(char depthLetter, std::u16string_view name);
std::string SnapshotValueLine(const RegistryValueData& value);
// The value of a snapshot line; `escaped` tells the snapshot's kind.
bool ParseSnapshotValueLine(std::string_view line, bool escaped, RegistryValueData& value);
// A line of an older snapshot in the form this version writes.
std::string CanonicalSnapshotLine(const std::string& line, bool escaped);

// ---- report text ------------------------------------------------------------
//
// A value in the syntax of registry export files, as earlier reports wrote
// it where that is exact: "name"="text", @="text", "name"=hex:01,02,
// "name"=dword:0000002a. Other values: "name"=expand:"text",
// "name"=multi:"a","b",""  "name"=qword:0000000100000000,
// "name"=hex(7):61,00,... (the type in hex, as export files write it).
// A name or text that the quotes cannot carry as it is (a double quote, a
// line break, a character CP1252 has not) is written %"..." with the
// escapes of the snapshot, "%22" for the quote.
std::string ReportValueText(const RegistryValueData& value);
bool ParseReportValueText(std::string_view text, RegistryValueData& value);

// A key path: the root name and the names below it joined by "\", as
// earlier reports wrote it. A path that holds a name the report cannot
// carry as it is (a line break, a character CP1252 has not) begins with
// "%", which no root name does, and has every name escaped.
std::string ReportKeyPath(const std::vector<std::u16string>& names);
bool ParseReportKeyPath(std::string_view text, std::vector<std::u16string>& names);

// ---- registry scripts ---------------------------------------------------------
//
// REGEDIT4 syntax, CP1252: "[HKEY_LOCAL_MACHINE\Software\X]" or "[-...]",
// "name"="text" (with "\\" and "\"" inside), "name"=dword:..., "name"=hex:...,
// "name"=hex(n):..., "name"=- to delete. In these files the data of
// hex(1), hex(2) and hex(7) is CP1252 text, that of every other type its
// bytes. False when the value cannot be written in CP1252 (a name or a
// string of other characters).
bool ScriptValueLine(const RegistryValueData& value, std::string& line);
bool ScriptValueDeletion(const std::u16string& name, std::string& line);
// "[HKEY_...]" for a key path of a report, "[-HKEY_...]" to delete it.
bool ScriptKeyLine(const std::vector<std::u16string>& names, bool deletion, std::string& line);
