#include "undo/startup_restore.h"

#include <windows.h>

#include <optional>
#include <sstream>
#include <vector>

#include "comparison/report_format.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "shell/program_state.h"
#include "undo/questions.h"
#include "undo/startup_rules.h"

namespace {

std::string CountText(unsigned changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification commentée dans le fichier";
  return " " + std::to_string(changes) + " modifications commentées dans le fichier";
}

// The block's lines in capitals; false when one is not a marked line.
bool ChangeLinesOf(const ReportSection& section, std::vector<std::string>& lines) {
  for (const auto& line : section.lines) {
    char marker = line[0];
    if (marker != report::Added && marker != report::Removed && marker != report::Context)
      return false;
    lines.push_back(FoldUpper(line));
  }
  return true;
}

std::vector<std::string> ReadFileLines(const std::string& target) {
  std::string bytes;
  if (!ReadFileBytes(target, bytes)) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + target);
  std::istringstream in(bytes);
  std::vector<std::string> lines;
  std::string line;
  while (ReadTextLine(in, line))
    if (!line.empty()) lines.push_back(FoldUpper(line));
  return lines;
}

}  // namespace

void RestoreStartupFile(const ReportSection& section, LineSink& log) {
  const std::string& target = section.title;
  const std::string workName = target.substr(0, target.size() < 3 ? 0 : target.size() - 3) + "NEW";
  log.WriteLine("Mise à jour de " + target);

  std::vector<std::string> changes;
  if (!section.whole || !ChangeLinesOf(section, changes)) {
    log.WriteLine(IncompleteSectionText);
    log.WriteLine(CountText(0));
    log.WriteLine("");
    return;
  }
  const std::vector<std::string> file = ReadFileLines(target);
  // A restore leaves no work file, and no trace of one in the directory's date.
  std::optional<DirectoryDateKept> dated;
  if (!Program.UninstallMode) dated.emplace(target);
  StartupRebuild rebuild =
      Program.UninstallMode ? UninstallStartupFile(changes, file) : RestoreStartupFileLines(changes);
  {
    TextFileWriter work(workName);
    for (const auto& line : rebuild.lines) work.WriteLine(line);
    work.Close();
  }

  unsigned count = rebuild.changes;
  if (Program.UninstallMode) {
    if (count > 0) {
      if (Program.ConfirmLevel > 0)
        CurrentUndoQuestions().Inform("Le fichier " + target + " devrait être modifié. Le fichier " +
                                      workName + " contient les informations nécessaires pour vous aider.");
    } else {
      DeleteFileForced(workName);
    }
  } else if (count > 0 && SectionHoldsWholeFile(changes, file)) {
    // Only a rebuild from a block that holds the whole current file may
    // replace it: one made from a report without context lines, or from a
    // file changed since, would lose the lines it does not hold.
    std::string rebuilt;
    if (!ReadFileBytes(workName, rebuilt) || !ReplaceFileBytes(target, rebuilt)) count = 0;
    DeleteFileForced(workName);
  } else {
    if (count > 0)
      log.WriteLine(" " + target + " n'a pas été remplacé : le rapport ne contient pas le fichier entier");
    count = 0;
    DeleteFileForced(workName);
  }

  log.WriteLine(CountText(count));
  log.WriteLine("");
  if (count > 0) Program.StartupFilesChanged = true;
}
