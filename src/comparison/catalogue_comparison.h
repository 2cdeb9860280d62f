// The merge of two drive catalogues into one report block. No Windows headers.
#pragma once
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "comparison/report_format.h"

struct CatalogueComparisonContext {
  std::string workingDirectory;  // the program directory, ending with "\"
  std::function<bool(const std::string&)> isExcluded;
  std::vector<std::string>* olderVersions = nullptr;  // files replaced by an older copy
};

// Writes the body, the count line and the closing empty line of the block.
void CompareCatalogues(std::istream& oldMember, std::istream& newMember, report::Writer& out,
                       const CatalogueComparisonContext& context);
