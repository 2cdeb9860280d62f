// Taking back the changes of AUTOEXEC.BAT and CONFIG.SYS.
#pragma once
#include "services/line_sink.h"
#include "undo/report_sections.h"

// Uninstall mode writes <target>.NEW with "rem" notes and leaves the target;
// restore mode rebuilds the target from the block's lines. A block that is
// not whole is not acted on.
void RestoreStartupFile(const ReportSection& section, LineSink& log);
