// The layout of state files and catalogue lines: names, suffixes, header,
// entry lines and their readers. No Windows headers: the comparison and the
// undo read catalogues through these functions.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The separator between an entry's name and its size: "õ", CP1252 code 245.
constexpr char EntrySeparator = '\xF5';

// Base name of a state recorded at a packed DOS date-time: the value in
// base 32 over "ABCDEFGHIJKLMNOPQRSTUVWXYZ123456", seven digits.
std::string StateNameOf(uint32_t packedDosTime);
// ".000" for the index, ".001" ... ".999" for the members.
std::string MemberSuffix(int n);
// State file names are used in eight-plus-three form: cut to 12 characters.
std::string StateFileName(const std::string& name);

// Line 2 of an index file: "{" drives "_" types "_" exclusion "}".
std::string StateHeaderLine(const std::string& drives, const std::string& types,
                            const std::string& exclusionText);
struct StateHeader {
  std::string drives, types, exclusionText;
};
// False when the line does not begin with "{".
bool ParseStateHeaderLine(std::string_view line, StateHeader& header);

// Labels of states in lists: the first index line without "* ", behind a
// caption, padded or cut to 70 characters, then the index file name.
constexpr const char* LabelCaptionRecorded = "Etat enregistré ";
constexpr const char* LabelCaptionDisks = "Etat des disques ";
std::string StateLabel(std::string_view firstIndexLine, std::string_view caption,
                       std::string_view indexFileName);
constexpr size_t StateLabelWidth = 70;
// The base name of the state a label names: the file name after the first
// 70 characters, up to its dot.
std::string StateBaseOfLabel(std::string_view label);

// Sizes are written whole: a file of 2 GB or more keeps its true size.
std::string FormatCatalogueEntry(std::string_view name, uint64_t size,
                                 int32_t packedTime, uint32_t attributes);

// The fields of an entry line. A name may hold "õ", "[" and "]" (Opções.txt),
// the size, time and attribute fields never do: they are found from the end.
struct CatalogueEntryFields {
  std::string_view name, size, time, attributes;
};
// False when the line is not name "õ" digits "[" number "]" digits.
bool SplitCatalogueEntry(std::string_view line, CatalogueEntryFields& fields);

// 'C' directory line, 'R' sub-directory entry, 'F' file entry.
char ClassifyCatalogueLine(std::string_view line);
std::string CatalogueEntryName(std::string_view line);
std::string CatalogueEntryTime(std::string_view line);
// "AUTOEXEC.BAT     1234 05/12/1998 14:03"
std::string CatalogueEntryDisplay(std::string_view line);
// name, tab, the last 25 characters of the display text.
std::string CatalogueEntryListText(std::string_view line);

// The one order of catalogue lines: the scan writes the entries of a
// directory in it and the comparison merges two catalogues by it. Lines are
// compared byte by byte after the file system's upper-casing, so that two
// names of one file always stand at the same place. Directory lines
// ("C:\A\B\") are ordered as the depth-first walk writes them: by the entry
// lines of their directories, an ancestor before its descendants.
int CatalogueOrder(std::string_view a, std::string_view b, bool directoryLines);

// Disk space in 512-byte units, rounded up. Counted in 32 bits so that a
// catalogue of more than 32 MB does not wrap.
uint32_t SizeUnits(uint64_t byteCount);

// "le dd/mm/yyyy à hh:nn:ss" with the given separators, cut to 25 characters.
std::string FormatRecordingDate(int year, int month, int day, int hour, int minute,
                                int second, std::string_view dateSeparator,
                                std::string_view timeSeparator);
