// Reading a report during the undo. No Windows headers.
#pragma once
#include <istream>
#include <stdexcept>
#include <string>

// A report or a section that cannot be what the comparison wrote.
struct DamagedReport : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ReportReader {
 public:
  explicit ReportReader(std::istream& in) : in_(in) {}
  // The next line without its line end; false at the end of the report.
  // A read failure or a line no comparison writes raises DamagedReport.
  bool Next(std::string& line);

 private:
  std::istream& in_;
};

// The undo log's own texts.
constexpr const char* UndoInterruptedText =
    " Traitement interrompu: fichier défectueux ou mémoire insuffisante!";
