// The resumption of an installation's analysis that a restart or a closed
// program interrupted: it ends as the analysis would have, with an
// installation report that the uninstall wizard lists.
#include <gtest/gtest.h>

#include <windows.h>

#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "support/wine_fixture.h"

namespace {

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Resumption, WritesTheInstallationReportAndDeletesBothStates) {
  const TProgramState saved = Program;
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  RegistrySandbox registry;
  const std::string scratch = ScratchDirectory();
  const std::string prog = scratch + "prog\\", disk = scratch + "disk\\";
  MakeFixtureDirectory(prog);
  MakeFixtureDirectory(disk);
  WriteFixtureFile(disk + "APP.INI", "[app]\r\n", PackDosTime(1998, 12, 5, 14, 3, 6));
  MappedDrive drive('G', disk);
  ASSERT_TRUE(SetCurrentDirectoryA(prog.c_str()));
  Program = TProgramState{};
  Program.ProgramDirectory = prog;
  Program.CommandLineMode = true;
  Program.FixedDrives = "G";
  Program.RecordDrives = "G";
  Program.RecordTypes = "I";
  BuildExclusionList("\\\\");
  Program.AnalysisMode = 2;  // what an earlier comparison of this session left
  RecordState("AAAAAA1");
  settings::Write(settings::Text::Pred, "AAAAAA1");
  settings::Write(settings::Text::Error, "Gravelot");
  // What the installation did before the program was closed.
  WriteFixtureFile(disk + "GRAVELOT.EXE", "exe", PackDosTime(1998, 12, 6, 9, 0, 0));

  ResumeInterruptedAnalysis("Gravelot");

  const std::string report = settings::Read(settings::Text::Last);
  EXPECT_EQ(report.size(), 11u);
  EXPECT_TRUE(report.ends_with(".PV1")) << report;
  const std::string text = ReadWholeFile(prog + report);
  EXPECT_TRUE(text.starts_with("* Installation de Gravelot le ")) << text;
  EXPECT_NE(text.find("\r\n+GRAVELOT.EXE "), std::string::npos) << text;
  EXPECT_EQ(settings::Read(settings::Text::Error), "");
  EXPECT_EQ(settings::Read(settings::Text::Pred), "");
  EXPECT_EQ(settings::Read(settings::Text::Succ), "");
  EXPECT_FALSE(Exists(prog + "AAAAAA1.000"));
  EXPECT_FALSE(Exists(prog + report.substr(0, 7) + ".000"));
  EXPECT_TRUE(Program.UninstallMode);

  SetCurrentDirectoryA(current);
  Program = saved;
}

}  // namespace
