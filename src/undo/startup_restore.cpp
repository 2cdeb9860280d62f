#include "undo/startup_restore.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "comparison/report_format.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "shell/program_state.h"
#include "undo/questions.h"

namespace {

constexpr size_t HeadingLength = 19;  // "Modifications dans "

bool IsAnchorText(const std::string& text) {
  return !text.empty() && (text[0] == '[' || text[0] == ':');
}

// BlockEnd over texts from `from`: -2 empty, -1 at an anchor, else the index
// of the last line before the next anchor.
template <typename TextOf>
long BlockEnd(size_t size, size_t from, TextOf textOf) {
  if (from >= size) return -2;
  for (size_t i = from; i < size; ++i)
    if (IsAnchorText(textOf(i))) return static_cast<long>(i - from) - 1;
  return static_cast<long>(size - from) - 1;
}

std::string CountText(unsigned changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification commentée dans le fichier";
  return " " + std::to_string(changes) + " modifications commentées dans le fichier";
}

// The section's lines, in capitals, up to the line that is empty after the
// conversion. False when a damaged line ended the section early: the lines
// before it are kept, so that the work file shows how far the rebuild got.
bool ReadChangeLines(ReportReader& report, std::vector<std::string>& lines) {
  std::string line;
  try {
    while (report.Next(line)) {
      std::string folded = FoldUpper(line);
      if (folded.empty()) break;
      lines.push_back(folded);
    }
  } catch (const DamagedReport&) {
    return false;
  }
  return true;
}

std::vector<std::string> ReadFileLines(const std::string& target) {
  std::ifstream in(target, std::ios::binary);
  if (!in) throw IoError(ERROR_FILE_NOT_FOUND, "cannot open " + target);
  std::vector<std::string> lines;
  std::string line;
  while (ReadTextLine(in, line))
    if (!line.empty()) lines.push_back(FoldUpper(line));
  if (in.bad()) throw DamagedReport("unreadable " + target);
  return lines;
}

class StartupMerge {
 public:
  StartupMerge(const std::vector<std::string>& changes, const std::vector<std::string>& file,
               TextFileWriter& work)
      : changes_(changes), file_(file), work_(work) {}

  // Uninstall: the current file with the installation's changes commented.
  void Uninstall() {
    while (c_ < changes_.size() || f_ < file_.size()) {
      long ce = BlockEnd(changes_.size(), c_, [&](size_t i) { return Text(i); });
      long fe = BlockEnd(file_.size(), f_, [&](size_t i) { return file_[i]; });
      if (ce == -2) CopyHead();
      else if (ce == -1 && fe == -2) ApplyHead();
      else if (ce == -1 && fe >= 0) CopyHead();
      else if (ce >= 0 && fe < 0) ApplyHead();
      else if (Text(c_) == file_[f_]) Matching();
      else if (OccursInFile(ce == -1 ? file_.size() : f_ + static_cast<size_t>(fe) + 1)) CopyHead();
      else ApplyHead();
    }
  }

  // Restore: the file as the reference had it, from the section alone.
  void Restore() {
    for (const auto& line : changes_) {
      const std::string text = line.substr(1);
      switch (line[0]) {
        case report::Context:
          work_.WriteLine(text);
          break;
        case report::Removed:
          work_.WriteLine("rem  La ligne suivante a été rétablie");
          work_.WriteLine(text);
          ++count_;
          break;
        case report::Added:
          work_.WriteLine("rem  La ligne suivante a été annulée");
          work_.WriteLine("rem : " + text);
          ++count_;
          break;
        default:
          break;
      }
    }
  }

  unsigned Count() const { return count_; }

 private:
  std::string Text(size_t i) const { return changes_[i].substr(1); }
  char Marker() const { return changes_[c_][0]; }

  void CopyHead() { work_.WriteLine(file_[f_++]); }

  void ApplyHead() {
    const std::string text = Text(c_);
    if (Marker() == report::Added) {
      work_.WriteLine("rem La ligne suivante avait été ajoutée à l'installation");
      work_.WriteLine("rem " + text);
      ++count_;
    } else if (Marker() == report::Removed) {
      work_.WriteLine("rem La ligne suivante avait été supprimée à l'installation");
      work_.WriteLine(text);
      ++count_;
    }
    ++c_;
  }

  // The head change's text is the head line of the file.
  void Matching() {
    if (Marker() == report::Added || Marker() == report::Removed) {
      ApplyHead();
      ++f_;
    } else {
      CopyHead();
      ++c_;
    }
  }

  bool OccursInFile(size_t end) const {
    return std::find(file_.begin() + static_cast<long>(f_), file_.begin() + static_cast<long>(end),
                     Text(c_)) != file_.begin() + static_cast<long>(end);
  }

  const std::vector<std::string>& changes_;
  const std::vector<std::string>& file_;
  TextFileWriter& work_;
  size_t c_ = 0, f_ = 0;
  unsigned count_ = 0;
};

// The section is a whole image of the current file when its "=" and "+"
// lines are the file's lines, in order.
bool SectionHoldsWholeFile(const std::vector<std::string>& changes,
                           const std::vector<std::string>& file) {
  size_t f = 0;
  for (const auto& line : changes) {
    if (line[0] != report::Context && line[0] != report::Added) continue;
    if (f >= file.size() || file[f] != line.substr(1)) return false;
    ++f;
  }
  return f == file.size();
}

}  // namespace

void RestoreStartupFile(const std::string& header, ReportReader& report, LineSink& log) {
  const std::string target = header.substr(std::min(header.size(), HeadingLength));
  const std::string workName = target.substr(0, target.size() < 3 ? 0 : target.size() - 3) + "NEW";
  log.WriteLine("Mise à jour de " + target);

  std::vector<std::string> changes, file;
  bool interrupted = false;
  unsigned count = 0;
  {
    file = ReadFileLines(target);
    TextFileWriter work(workName);
    try {
      interrupted = !ReadChangeLines(report, changes);
      StartupMerge merge(changes, file, work);
      if (Program.UninstallMode) merge.Uninstall();
      else merge.Restore();
      count = merge.Count();
    } catch (const DamagedReport&) {
      interrupted = true;
    } catch (const std::bad_alloc&) {
      interrupted = true;
    }
    if (interrupted) work.WriteLine(UndoInterruptedText);
    work.Close();
  }

  if (Program.UninstallMode) {
    if (count > 0) {
      if (Program.ConfirmLevel > 0)
        CurrentUndoQuestions().Inform("Le fichier " + target + " devrait être modifié. Le fichier " +
                                      workName + " contient les informations nécessaires pour vous aider.");
    } else {
      DeleteFileA(workName.c_str());
    }
  } else if (!interrupted && count > 0 && SectionHoldsWholeFile(changes, file)) {
    // Only a complete rebuild from a section that holds the whole current
    // file may replace it: an interrupted one, or one made from a report
    // without context lines, would lose the lines it does not hold.
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    if (MoveFileExA(workName.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
      Program.StartupFilesChanged = true;
    else
      count = 0;
  } else {
    if (!interrupted && count > 0) log.WriteLine(" " + target + " n'a pas été remplacé : le rapport ne contient pas le fichier entier");
    count = 0;
    if (!interrupted) DeleteFileA(workName.c_str());
  }

  log.WriteLine(CountText(count));
  log.WriteLine("");
  if (count > 0) Program.StartupFilesChanged = true;
}
