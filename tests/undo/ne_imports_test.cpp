// The module names a 16-bit executable imports protect files of those names
// during an uninstall; anything else must add nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "undo/ne_imports.h"
#include "undo_fixture.h"

namespace {

std::vector<std::string> ImportsOf(const std::string& bytes) {
  std::istringstream in(bytes);
  std::vector<std::string> names = {"KERNEL"};
  AppendNeImportedModules(in, names);
  names.erase(names.begin());
  return names;
}

TEST(NeImports, NamesInCapitalsCutToEightCharacters) {
  EXPECT_EQ(ImportsOf(NeExecutable({"MYLIB", "vbrun300", "LongModuleName", "Gdi"})),
            (std::vector<std::string>{"MYLIB", "VBRUN300", "LONGMODU", "GDI"}));
  EXPECT_EQ(ImportsOf(NeExecutable({})), std::vector<std::string>{});
}

TEST(NeImports, AnythingButAReadableNeHeaderAddsNothing) {
  const std::string ne = NeExecutable({"MYLIB"});
  std::string pe = ne;
  pe[0x80] = 'P';
  std::string oldStyle = ne;  // relocations at 28: a DOS program
  oldStyle[24] = 28;
  std::string zm = ne;
  zm[0] = 'Z';
  zm[1] = 'M';
  std::string farHeader = ne;  // header offset beyond the end
  farHeader[61] = 0x10;
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {{"empty", ""},
                        {"PE signature", pe},
                        {"relocations below 40", oldStyle},
                        {"no MZ", zm},
                        {"header beyond the end", farHeader},
                        {"cut inside the header", ne.substr(0, 0x90)},
                        {"cut inside the names", ne.substr(0, ne.size() - 2)}};
  for (const auto& c : cases) EXPECT_EQ(ImportsOf(c.bytes), std::vector<std::string>{}) << c.what;
}

}  // namespace
