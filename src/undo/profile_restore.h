// Taking back the changes of WIN.INI, SYSTEM.INI, MSDOS.SYS and other
// profile files, entry by entry through the profile functions.
#pragma once
#include <string>

#include "services/line_sink.h"
#include "undo/undo_report.h"

// Writes into WIN.INI through the Windows profile when useWindowsProfile is
// set, otherwise into fileName.
void RestoreProfileFile(const std::string& header, bool useWindowsProfile,
                        const std::string& fileName, ReportReader& report, LineSink& log);
