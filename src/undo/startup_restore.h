// Taking back the changes of AUTOEXEC.BAT and CONFIG.SYS.
#pragma once
#include <string>

#include "services/line_sink.h"
#include "undo/undo_report.h"

// header: "Modifications dans <target>". Reads the section from the report.
// Uninstall mode writes <target>.NEW with "rem" notes and leaves the target;
// restore mode rebuilds the target from the section's lines.
void RestoreStartupFile(const std::string& header, ReportReader& report, LineSink& log);
