#include "undo/startup_rules.h"

#include <algorithm>

#include "comparison/report_format.h"

namespace {

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

class StartupMerge {
 public:
  StartupMerge(const std::vector<std::string>& changes, const std::vector<std::string>& file,
               std::vector<std::string>& work)
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
          work_.push_back(text);
          break;
        case report::Removed:
          work_.push_back("rem  La ligne suivante a été rétablie");
          work_.push_back(text);
          ++count_;
          break;
        case report::Added:
          work_.push_back("rem  La ligne suivante a été annulée");
          work_.push_back("rem : " + text);
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

  void CopyHead() { work_.push_back(file_[f_++]); }

  void ApplyHead() {
    const std::string text = Text(c_);
    if (Marker() == report::Added) {
      work_.push_back("rem La ligne suivante avait été ajoutée à l'installation");
      work_.push_back("rem " + text);
      ++count_;
    } else if (Marker() == report::Removed) {
      work_.push_back("rem La ligne suivante avait été supprimée à l'installation");
      work_.push_back(text);
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
  std::vector<std::string>& work_;
  size_t c_ = 0, f_ = 0;
  unsigned count_ = 0;
};

}  // namespace

StartupRebuild UninstallStartupFile(const std::vector<std::string>& changes,
                                    const std::vector<std::string>& file) {
  StartupRebuild rebuild;
  StartupMerge merge(changes, file, rebuild.lines);
  merge.Uninstall();
  rebuild.changes = merge.Count();
  return rebuild;
}

StartupRebuild RestoreStartupFileLines(const std::vector<std::string>& changes) {
  StartupRebuild rebuild;
  const std::vector<std::string> noFile;
  StartupMerge merge(changes, noFile, rebuild.lines);
  merge.Restore();
  rebuild.changes = merge.Count();
  return rebuild;
}

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

