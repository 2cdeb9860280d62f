// Registry scripts of a report (REGEDIT4, CP1252): one that takes the
// report's registry changes back, as the undo's registry pass does, and one
// that makes them again. No Windows headers.
#pragma once
#include <string>
#include <vector>

#include "services/line_sink.h"
#include "undo/registry_rules.h"

// The scripts of the keys of a report's registry block. A key or value the
// syntax cannot carry (a name CP1252 has not) stands as a comment line.
void WriteRegistryScripts(const std::vector<RegistryKeyChange>& keys, LineSink& undo, LineSink& redo);

// The scripts' names beside a report: its base name (up to its first dot,
// seven characters at most) followed by "A" (annuler) or "R" (refaire), and
// ".REG": ASYK3DD.PV1 gives ASYK3DDA.REG and ASYK3DDR.REG.
std::string UndoScriptNameOf(const std::string& reportName);
std::string RedoScriptNameOf(const std::string& reportName);
