#include "comparison/catalogue_comparison.h"

#include <charconv>

#include "comparison/text_comparisons.h"
#include "recording/catalogue_lines.h"
#include "services/folding.h"
#include "services/text_lines.h"

namespace {

enum class LineClass { Directory, File, SubDirectory, End };

// Classifies a catalogue line; an entry line without its separator, its
// brackets or a numeric attribute field is damage, not a file.
LineClass Classify(const std::string& line) {
  if (line.find(':') != std::string::npos) return LineClass::Directory;
  size_t sep = line.find(EntrySeparator);
  size_t open = line.find('[');
  size_t close = line.find(']');
  if (sep == std::string::npos || open == std::string::npos || close == std::string::npos ||
      close + 1 >= line.size())
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
      Fill(old_);
      Fill(new_);
      if (old_.cls == LineClass::End && new_.cls == LineClass::End) return;
      if (CompareFolded(old_.line, new_.line) == 0) {
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

  void ReadNext(Side& s) {
    if (ReadTextLine(s.in, s.line)) {
      s.cls = Classify(s.line);
    } else {
      if (s.in.bad()) throw DamagedMember("unreadable catalogue");
      s.line.clear();
      s.cls = LineClass::End;
    }
  }

  bool PassedOver(const std::string& line) const {
    return CompareFolded(line, context_.workingDirectory) == 0 ||
           (context_.isExcluded && context_.isExcluded(line));
  }

  void Fill(Side& s) {
    if (!s.need) return;
    s.need = false;
    ReadNext(s);
    if (s.cls == LineClass::End || !PassedOver(s.line)) return;
    do ReadNext(s);
    while (s.cls != LineClass::End && s.cls != LineClass::Directory);
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
