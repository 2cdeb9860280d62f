#include "comparison/catalogue_comparison.h"

#include <charconv>

#include "comparison/text_comparisons.h"
#include "recording/catalogue_lines.h"
#include "services/folding.h"
#include "services/text_lines.h"

namespace {

enum class LineClass { Directory, File, SubDirectory, End };

// The signs that classify a catalogue line, looked up in one pass: a merge
// classifies every line of two catalogues.
enum Sign : unsigned char { NoSign, Colon, Separator, Open, Close };

struct SignTable {
  Sign of[256] = {};
  constexpr SignTable() {
    of[static_cast<unsigned char>(':')] = Colon;
    of[static_cast<unsigned char>(EntrySeparator)] = Separator;
    of[static_cast<unsigned char>('[')] = Open;
    of[static_cast<unsigned char>(']')] = Close;
  }
};
constexpr SignTable Signs;

// Classifies a catalogue line: a directory line holds a ":"; an entry line
// without its separator, its brackets or a numeric attribute field after
// the first "]" is damage, not a file.
LineClass Classify(const std::string& line) {
  bool separator = false, open = false;
  size_t close = std::string::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    switch (Signs.of[static_cast<unsigned char>(line[i])]) {
      case NoSign: break;
      case Colon: return LineClass::Directory;
      case Separator: separator = true; break;
      case Open: open = true; break;
      case Close:
        if (close == std::string::npos) close = i;
        break;
    }
  }
  if (!separator || !open || close == std::string::npos || close + 1 >= line.size())
    throw DamagedMember("damaged catalogue line");
  uint32_t attributes = 0;
  const char* first = line.data() + close + 1;
  const char* last = line.data() + line.size();
  auto [end, ec] = std::from_chars(first, last, attributes);
  if (ec != std::errc() || end != last) throw DamagedMember("damaged catalogue line");
  return attributes & 16 ? LineClass::SubDirectory : LineClass::File;
}

// The order in which the catalogue scan writes its lines, which the merge
// must follow to pair them: entries by their whole line with only a-z
// upper-cased, directories depth first with sub-directories in the order of
// their entry lines. A "\" of a path stands where the entry line has its
// "õ". CompareFolded disagrees with it on accented letters and on the signs
// between "\" and "õ" ("_", "~"...), and would then take a directory or a
// file for removed that is only further on.
int CatalogueOrder(const std::string& a, const std::string& b, bool directoryLines) {
  auto rank = [directoryLines](char c) {
    if (directoryLines && c == '\\') c = EntrySeparator;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return static_cast<unsigned char>(c);
  };
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = rank(a[i]), y = rank(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The packed date-time of an entry, as the unsigned number it encodes.
uint32_t EntryTime(const std::string& line) {
  std::string text = CatalogueEntryTime(line);
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return static_cast<uint32_t>(value);
}

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
      if (same || CompareFolded(old_.line, new_.line) == 0) {
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
  };

  // Classifies the line just read, or marks the end of the side.
  void Classified(Side& s, bool read) {
    if (read) {
      s.cls = Classify(s.line);
    } else {
      if (s.in.bad()) throw DamagedMember("unreadable catalogue");
      s.line.clear();
      s.cls = LineClass::End;
    }
  }

  void ReadNext(Side& s) { Classified(s, ReadTextLine(s.in, s.line)); }

  bool PassedOver(const std::string& line) const {
    return CompareFolded(line, context_.workingDirectory) == 0 ||
           (context_.isExcluded && context_.isExcluded(line));
  }

  // Passes over the lines up to the next directory line or the end.
  void PassOver(Side& s) {
    do ReadNext(s);
    while (s.cls != LineClass::End && s.cls != LineClass::Directory);
  }

  // Classifies the line just read and passes over what is not compared.
  void Settle(Side& s, bool read) {
    Classified(s, read);
    if (s.cls != LineClass::End && PassedOver(s.line)) PassOver(s);
  }

  void Fill(Side& s) {
    if (!s.need) return;
    s.need = false;
    Settle(s, ReadTextLine(s.in, s.line));
  }

  // Most lines of two catalogues of one drive are the same to the byte:
  // such a pair is classified and tested for passing over once. True when
  // the two lines taken are such a pair.
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
      if (!PassedOver(old_.line)) return true;
      PassOver(old_);
      PassOver(new_);
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

  void FilePair() {
    Flush();
    if (CompareFolded(CatalogueEntryName(old_.line), CatalogueEntryName(new_.line)) == 0) {
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
