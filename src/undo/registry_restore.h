// Taking back the registry changes of a report, once at the end of the undo.
#pragma once
#include <string>
#include <vector>

#include "services/line_sink.h"
#include "undo/registry_rules.h"
#include "undo/report_sections.h"

// The registry blocks of a report, collected during the run.
struct RegistryChanges {
  std::vector<RegistryKeyChange> keys;  // in report order
  bool refused = false;                 // a block that is not whole or does not parse
};

// Keeps the block's keys for the pass, or notes that it is refused.
void CollectRegistrySection(const ReportSection& section, RegistryChanges& changes);

// Deletes what the keys list as added and writes back what they list as
// removed, the last key of the report first.
void RestoreRegistry(const RegistryChanges& changes, LineSink& log);

// Writes the registry scripts of a report beside it (UndoScriptNameOf,
// RedoScriptNameOf): the changes of its registry block as the undo would
// take them back, and as they were made. False when the report cannot be
// read, has no registry block or one that is not whole; no script is
// written then.
bool WriteRegistryScriptsOfReport(const std::string& reportName);
