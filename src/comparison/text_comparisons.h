// The comparisons of copied system files. Each writes the body, the count
// line and the closing empty line of one report block. No Windows headers.
#pragma once
#include <cstdint>
#include <istream>
#include <stdexcept>

#include "comparison/report_format.h"

// A member whose lines do not have the layout they must have.
struct DamagedMember : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Whether start-up file blocks carry the unchanged lines as "=" context:
// installation, launch and restore comparison, the analyses that are undone.
bool WritesContextLines(uint8_t analysisMode);

// AUTOEXEC.BAT, CONFIG.SYS, MSDOS.SYS: lines matched in order between anchors.
void CompareStartupFiles(std::istream& oldMember, std::istream& newMember,
                         report::Writer& out, uint8_t analysisMode);
// Every other copied text file: the lines of each section, order-free.
void CompareProfiles(std::istream& oldMember, std::istream& newMember, report::Writer& out);

// Runs a comparison body; an error of the member (damaged, unreadable, out of
// memory) ends it with the interrupted line. Then the count line and the
// closing empty line. The body adds its changes to the counter it is given.
template <typename Body>
void WriteBlockBody(report::Writer& out, Body body) {
  uint64_t changes = 0;
  try {
    body(changes);
  } catch (const DamagedMember&) {
    out.Line(report::InterruptedText);
  } catch (const std::bad_alloc&) {
    out.Line(report::InterruptedText);
  }
  out.Line(report::CountLine(changes));
  out.Empty();
}
