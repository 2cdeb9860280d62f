// Taking back the registry changes of a report, once at the end of the undo.
#pragma once
#include <string>
#include <vector>

#include "services/line_sink.h"
#include "undo/undo_report.h"

// Reads the registry section up to its empty line; the count line that ends
// it is dropped. Lines are kept in report order.
void CollectRegistrySection(ReportReader& report, std::vector<std::string>& lines);

// Deletes what the lines list as added and writes back what they list as
// removed, the last key of the report first.
void RestoreRegistry(const std::vector<std::string>& lines, LineSink& log);
