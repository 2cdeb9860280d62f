#include "comparison/catalogue_comparison.h"

#include <charconv>
#include <cstring>

#include "comparison/text_comparisons.h"
#include "recording/catalogue_lines.h"
#include "services/folding.h"
#include "services/text_lines.h"

namespace {

enum class LineClass { Directory, File, SubDirectory, End };

bool Digits(const char* first, const char* last) {
  if (first == last) return false;
  for (const char* p = first; p < last; ++p)
    if (*p < '0' || *p > '9') return false;
  return true;
}

// Classifies a catalogue line. A directory line is "X:\...\"; an entry line
// is name "õ" size "[" time "]" attributes, its fields found from the end
// (a name may hold "õ", "[" and "]"). Anything else is damage, not a file.
LineClass Classify(const std::string& line) {
  if (line.size() >= 2 && line[1] == ':') {
    if (line.size() < 3 || line[2] != '\\' || line.back() != '\\')
      throw DamagedMember("damaged directory line");
    return LineClass::Directory;
  }
  const char* begin = line.data();
  const char* end = begin + line.size();
  const char* close = end;
  while (close > begin && close[-1] != ']') --close;
  if (close == begin || !Digits(close, end)) throw DamagedMember("damaged catalogue line");
  --close;
  const char* open = close;
  while (open > begin && open[-1] != '[') --open;
  if (open == begin) throw DamagedMember("damaged catalogue line");
  const char* time = open;
  if (time < close && *time == '-') ++time;
  if (!Digits(time, close)) throw DamagedMember("damaged catalogue line");
  --open;
  const char* separator = open;
  while (separator > begin && separator[-1] != EntrySeparator) --separator;
  if (separator <= begin + 1 || !Digits(separator, open) ||
      std::memchr(begin, ':', static_cast<size_t>(separator - begin)) != nullptr)
    throw DamagedMember("damaged catalogue line");
  uint32_t attributes = 0;
  std::from_chars(close + 1, end, attributes);
  return attributes & 16 ? LineClass::SubDirectory : LineClass::File;
}

// The packed date-time of an entry, as the unsigned number it encodes.
uint32_t EntryTime(const std::string& line) {
  std::string text = CatalogueEntryTime(line);
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return static_cast<uint32_t>(value);
}

// What a catalogue must look like for the merge to pair its lines: a
// directory line first, then per block the directory line, its sub-directory
// entries, its file entries, each group in catalogue order, and the blocks
// in the order of their paths. A member out of that order (damaged, or
// written in an order this merge does not know) would make the merge take
// files that are there for removed or added: it is refused as damaged.
class OrderCheck {
 public:
  void Check(LineClass cls, const std::string& line) {
    switch (cls) {
      case LineClass::Directory:
        if (!directory_.empty() && CatalogueOrder(directory_, line, true) >= 0)
          throw DamagedMember("catalogue directories out of order");
        directory_ = line;
        lastSub_.clear();
        lastFile_.clear();
        break;
      case LineClass::SubDirectory:
        if (last_ != LineClass::Directory && last_ != LineClass::SubDirectory)
          throw DamagedMember("catalogue entry out of its block");
        if (!lastSub_.empty() && CatalogueOrder(lastSub_, line, false) >= 0)
          throw DamagedMember("catalogue entries out of order");
        lastSub_ = line;
        break;
      case LineClass::File:
        if (last_ == LineClass::End) throw DamagedMember("catalogue entry out of its block");
        if (!lastFile_.empty() && CatalogueOrder(lastFile_, line, false) >= 0)
          throw DamagedMember("catalogue entries out of order");
        lastFile_ = line;
        break;
      case LineClass::End:
        break;
    }
    last_ = cls;
  }
  // The directory the lines read stand in.
  const std::string& Directory() const { return directory_; }

 private:
  LineClass last_ = LineClass::End;
  std::string directory_, lastSub_, lastFile_;
};

class CatalogueMerge {
 public:
  CatalogueMerge(std::istream& oldMember, std::istream& newMember, report::Writer& out,
                 const CatalogueComparisonContext& context, uint64_t& changes)
      : old_(oldMember), new_(newMember), out_(out), context_(context), changes_(changes) {}

  void Run() {
    std::string first;
    ReadTextLine(old_.in, first);
    ReadTextLine(new_.in, first);
    for (;;) {
      bool same = FillBoth();
      if (old_.cls == LineClass::End && new_.cls == LineClass::End) return;
      if (same || CatalogueOrder(old_.line, new_.line, false) == 0) {
        if (old_.cls == LineClass::Directory) pending_ = current_ = old_.line;
        old_.need = new_.need = true;
        continue;
      }
      Step();
    }
  }

 private:
  struct Side {
    explicit Side(std::istream& in) : in(in) {}
    std::istream& in;
    std::string line;
    LineClass cls = LineClass::End;
    bool need = true;
    OrderCheck order;
  };

  // While both sides read the same lines, the new side's order check would
  // only repeat the old side's: it is left behind and caught up with when
  // the sides part (a pair of identical directory lines puts them in step).
  void LeaveStep() {
    if (!inStep_) return;
    new_.order = old_.order;
    inStep_ = false;
  }

  // Classifies the line just read, or marks the end of the side.
  void Classified(Side& s, bool read) {
    LeaveStep();
    if (read) {
      s.cls = Classify(s.line);
    } else {
      if (s.in.bad()) throw DamagedMember("unreadable catalogue");
      s.line.clear();
      s.cls = LineClass::End;
    }
    s.order.Check(s.cls, s.line);
  }

  void ReadNext(Side& s) { Classified(s, ReadTextLine(s.in, s.line)); }

  // A directory block the comparison leaves out: the program directory, and
  // every directory the exclusion list names.
  bool ExcludedDirectory(const std::string& path) const {
    return CompareFileNames(path, context_.workingDirectory) == 0 ||
           (context_.isExcluded && context_.isExcluded(path));
  }

  // Lines that are not compared: the block of an excluded directory, and
  // the entry line of such a directory in its parent's block (its date
  // changes whenever something is written inside it). File entries are
  // never tested: an exclusion names directories.
  bool PassedOver(const Side& s) const {
    if (s.cls == LineClass::Directory) return ExcludedDirectory(s.line);
    if (s.cls == LineClass::SubDirectory)
      return ExcludedDirectory(s.order.Directory() + CatalogueEntryName(s.line) + "\\");
    return false;
  }

  // Passes over a whole block up to the next directory line or the end.
  void PassOverBlock(Side& s) {
    do ReadNext(s);
    while (s.cls != LineClass::End && s.cls != LineClass::Directory);
  }

  // From the line in hand on, passes over what is not compared.
  void SkipPassedOver(Side& s) {
    while (s.cls != LineClass::End && PassedOver(s)) {
      if (s.cls == LineClass::Directory) PassOverBlock(s);
      else ReadNext(s);
    }
  }

  // Classifies the line just read and passes over what is not compared.
  void Settle(Side& s, bool read) {
    Classified(s, read);
    SkipPassedOver(s);
  }

  void Fill(Side& s) {
    if (!s.need) return;
    s.need = false;
    Settle(s, ReadTextLine(s.in, s.line));
  }

  // Most lines of two catalogues of one drive are the same to the byte:
  // such a pair is classified once. True when the two lines taken are such
  // a pair and both are compared.
  bool FillBoth() {
    if (!old_.need || !new_.need) {
      Fill(old_);
      Fill(new_);
      return false;
    }
    old_.need = new_.need = false;
    bool oldRead = ReadTextLine(old_.in, old_.line);
    bool newRead = ReadTextLine(new_.in, new_.line);
    if (oldRead && newRead && old_.line == new_.line) {
      old_.cls = new_.cls = Classify(old_.line);
      old_.order.Check(old_.cls, old_.line);
      bool passed = PassedOver(old_);
      if (!inStep_) {
        new_.order.Check(new_.cls, new_.line);
        passed = passed || PassedOver(new_);
        inStep_ = old_.cls == LineClass::Directory;
      }
      if (!passed) return true;
      LeaveStep();
      SkipPassedOver(old_);
      SkipPassedOver(new_);
      return false;
    }
    Settle(old_, oldRead);
    Settle(new_, newRead);
    return false;
  }

  void Flush() {
    if (pending_.empty()) return;
    out_.Line(pending_);
    pending_.clear();
  }

  void Enter(Side& s) {
    pending_ = current_ = s.line;
    s.need = true;
  }

  void File(char marker, Side& s) {
    Flush();
    out_.Marked(marker, CatalogueEntryDisplay(s.line));
    ++changes_;
    s.need = true;
  }

  void SubDirectory(char marker, Side& s) {
    Flush();
    out_.Line(report::SubDirectoryLine(marker, CatalogueEntryName(s.line)));
    ++changes_;
    s.need = true;
  }

  // Two different file lines. Names that the file system takes as one name
  // ("école.txt" and "École.txt") are one file that changed.
  void FilePair() {
    Flush();
    if (CompareFileNames(CatalogueEntryName(old_.line), CatalogueEntryName(new_.line)) == 0) {
      std::string before = CatalogueEntryDisplay(old_.line);
      out_.Marked(report::OldVersion, before);
      out_.Marked(report::NewVersion, CatalogueEntryDisplay(new_.line));
      ++changes_;
      // Compared as numbers: as texts, a date of 2010 (ten digits) would
      // come before one of 2009 (nine digits).
      if (context_.olderVersions && EntryTime(new_.line) < EntryTime(old_.line))
        context_.olderVersions->push_back(current_ + before);
      old_.need = new_.need = true;
    } else if (CatalogueOrder(old_.line, new_.line, false) < 0) {
      File(report::Removed, old_);
    } else {
      File(report::Added, new_);
    }
  }

  // One step of the merge for two lines that differ.
  void Step() {
    using L = LineClass;
    const L o = old_.cls, n = new_.cls;
    switch (o) {
      case L::Directory:
        if (n == L::Directory) Enter(CatalogueOrder(old_.line, new_.line, true) < 0 ? old_ : new_);
        else if (n == L::File) File(report::Added, new_);
        else if (n == L::SubDirectory) SubDirectory(report::Added, new_);
        else Enter(old_);
        return;
      case L::File:
        if (n == L::Directory || n == L::End) File(report::Removed, old_);
        else if (n == L::File) FilePair();
        else SubDirectory(report::Added, new_);
        return;
      case L::SubDirectory:
        if (n == L::SubDirectory && CatalogueOrder(old_.line, new_.line, false) >= 0)
          SubDirectory(report::Added, new_);
        else
          SubDirectory(report::Removed, old_);
        return;
      case L::End:
        if (n == L::Directory) Enter(new_);
        else if (n == L::File) File(report::Added, new_);
        else SubDirectory(report::Added, new_);
        return;
    }
  }

  Side old_, new_;
  bool inStep_ = false;
  report::Writer& out_;
  const CatalogueComparisonContext& context_;
  uint64_t& changes_;
  std::string pending_, current_;
};

}  // namespace

void CompareCatalogues(std::istream& oldMember, std::istream& newMember, report::Writer& out,
                       const CatalogueComparisonContext& context) {
  WriteBlockBody(out, [&](uint64_t& changes) {
    CatalogueMerge(oldMember, newMember, out, context, changes).Run();
  });
}
