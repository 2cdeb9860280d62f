// The report: every kind of line the comparison writes and the undo reads
// back. Written and read only through these definitions. No Windows headers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "services/line_sink.h"

namespace report {

// Change markers: the first character of a body line.
constexpr char Added = '+';
constexpr char Removed = '-';
constexpr char OldVersion = ' ';  // catalogue: old file; registry: changed key
constexpr char NewVersion = '>';
constexpr char Context = '=';     // unchanged start-up file line

constexpr std::string_view CatalogueHeading = "Modifications au ";
constexpr std::string_view FileHeading = "Modifications dans ";
constexpr std::string_view NewMemberText = " Fichier nouveau, analyse impossible.";
constexpr std::string_view InterruptedText =
    " Traitement interrompu: fichier défectueux ou mémoire insuffisante!";
constexpr std::string_view DifferentWindowsText =
    " Impossible de comparer des versions différentes de Windows";
constexpr std::string_view DirectorySuffix = "   REP";
constexpr std::string_view RegistryTitle = "Base de registres";

// ".PV1" for an installation or launch analysis (modes 0 and 1), else ".PV2".
std::string ReportExtension(uint8_t analysisMode);
// A report or an undo log: the name holds ".PV1", ".PV2" or ".PV3", letters
// compared without regard to case (lists take "x.pv2" too).
bool IsReportFileName(std::string_view name);
// The first header line; dateText is "le dd/mm/yyyy à hh:nn:ss".
std::string HeaderLine(uint8_t analysisMode, std::string_view appName, std::string_view dateText);
// Modes 2 and 3 only: "  par rapport au " + what follows " le " in the
// before state's date line, or the whole line when it holds no " le ".
std::string SecondHeaderLine(std::string_view beforeDateLine);
// " Aucune modification", " 1 modification", " 12 modifications".
std::string CountLine(uint64_t changes);
// The blocks of members that cannot be compared (missing, unreadable, or not
// the file their state sealed): two lines, no heading, no count.
std::string UnreadableOldMemberLine(std::string_view title);
std::string UnreadableNewMemberLine(std::string_view title);
std::string SubDirectoryLine(char marker, std::string_view name);

// Writes report lines into a sink (the report file, or a string in tests).
class Writer {
 public:
  explicit Writer(LineSink& out) : out_(out) {}
  void Line(std::string_view text) { out_.WriteLine(text); }
  void Marked(char marker, std::string_view text) {
    std::string line(1, marker);
    line.append(text);
    out_.WriteLine(line);
  }
  void Empty() { out_.WriteLine({}); }

 private:
  LineSink& out_;
};

// Reading back. A heading is "Modifications au <title>" (file sections) or
// "Modifications dans <title>" (configuration and registry sections).
enum class HeadingKind { None, Catalogue, File };
HeadingKind ClassifyHeading(std::string_view line, std::string* title = nullptr);
// A catalogue directory line: its second character is ":".
bool IsDirectoryLine(std::string_view line);
// A catalogue "+"/"-" line naming a sub-directory ("+NAME   REP").
bool IsSubDirectoryLine(std::string_view line);
// The name of a catalogue entry line after its marker: up to the first blank,
// or before "   REP" for a sub-directory line.
std::string EntryNameOf(std::string_view line);
// A count line: " Aucune modification", " 1 modification", " N modifications".
bool IsCountLine(std::string_view line);

}  // namespace report

namespace report {

// The file name of an added-file line of a catalogue block ("+" + entry
// text): the entry text without its date and time columns, its size and the
// blanks before them. False when the line cannot hold an entry text.
bool AddedFileNameOf(std::string_view line, std::string& name);

}  // namespace report
