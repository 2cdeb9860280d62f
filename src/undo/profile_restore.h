// Taking back the changes of WIN.INI, SYSTEM.INI, MSDOS.SYS and other
// profile files.
#pragma once
#include <string>

#include "services/line_sink.h"
#include "undo/report_sections.h"

// The Windows directory's own WIN.INI goes through the system's profile
// functions (the system keeps parts of it elsewhere); every other file,
// copies of WIN.INI included, is changed as the text it is. A block that is
// not whole is not acted on.
void RestoreProfileFile(const ReportSection& section, bool useWindowsProfile, LineSink& log);

// The path of the Windows directory's WIN.INI ("C:\WINDOWS\WIN.INI").
std::string WindowsIniPath();
