// A report read back by the undo, one block at a time, through the report
// format of the comparison. No Windows headers.
//
// The undo acts on a block only when the block is whole: it ends with its
// count line and nothing in it says the comparison was interrupted. A block
// cut short (a damaged report, a comparison stopped by a damaged member)
// could name as added what was simply not read: nothing in it is done.
#pragma once
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "comparison/report_format.h"

// The report cannot be read on (a read failure).
struct DamagedReport : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct ReportSection {
  std::string heading;  // "Modifications au Catalogue de C:\", "Modifications dans ..."
  report::HeadingKind kind = report::HeadingKind::None;
  std::string title;               // the member's title, after the heading words
  std::vector<std::string> lines;  // the body, without the count line
  bool whole = false;
};

class ReportSections {
 public:
  explicit ReportSections(std::istream& in) : in_(in) {}
  // The first line of the report, then its second (restore reports).
  bool HeaderLine(std::string& line);
  // The next block with a heading; false at the end of the report. Lines
  // between blocks (notes of members that could not be compared) are
  // passed over. A read failure raises DamagedReport.
  bool Next(ReportSection& section);

 private:
  bool Line(std::string& line, bool& damaged);
  std::istream& in_;
};

// The undo log's own texts.
constexpr const char* UndoInterruptedText =
    " Traitement interrompu: fichier défectueux ou mémoire insuffisante!";
constexpr const char* IncompleteSectionText =
    " Rien n'a été modifié : cette partie du rapport est incomplète ou défectueuse";
