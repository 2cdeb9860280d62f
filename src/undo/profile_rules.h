// Taking back the changes of a profile block (WIN.INI, SYSTEM.INI, MSDOS.SYS
// and every other .INI file): exactly the lines the block names, in the
// sections the block names them in. No Windows headers.
#pragma once
#include <string>
#include <utility>
#include <vector>

// The changes of one section of a block.
struct ProfileGroup {
  std::string title;        // the section line as the file has it ("[386Enh] ; VxD"); "" before the first section
  char titleMarker = ' ';   // '+' the installation added the section, '-' removed it, ' ' neither
  // In report order: '+' a line it added, '-' a line it removed.
  std::vector<std::pair<char, std::string>> changes;
};

// The groups of a whole block's body (count line taken off), in the profile
// form of the comparison (unmarked section lines, "+[...]" and "-[...]" for a
// section only one copy has) or in the start-up form it uses for MSDOS.SYS
// (every line marked, "=" for the unchanged ones). False when a line is
// neither: such a block is not acted on.
bool ProfileGroupsOf(const std::vector<std::string>& lines, std::vector<ProfileGroup>& groups);

// The name of a section for the profile functions and the log: the text
// between "[" and the first "]", the whole line for a ":" section.
std::string SectionNameOf(const std::string& title);
// The key of an entry as the profile functions take it: the text before its
// first "=", without the blanks around it.
std::string ProfileKeyOf(const std::string& line);

// Where the undo reads and changes a profile. Lines are compared as the
// comparison compares them: case and the folded accents aside.
class ProfileStore {
 public:
  virtual bool HasSection(const std::string& title) = 0;
  // The lines of the section that the comparison sees: neither empty nor comments.
  virtual std::vector<std::string> Entries(const std::string& title) = 0;
  // No line at all under the section, comments included.
  virtual bool SectionEmpty(const std::string& title) = 0;
  // Each answers false when it cannot do exactly that.
  virtual bool Remove(const std::string& title, const std::string& line) = 0;
  virtual bool Replace(const std::string& title, const std::string& oldLine,
                       const std::string& newLine) = 0;
  // Appends the line to the section, made at the end when missing.
  virtual bool Add(const std::string& title, const std::string& line) = 0;
  virtual bool DropSection(const std::string& title) = 0;

 protected:
  ~ProfileStore() = default;
};

// Takes the groups back in the store: a removed line is put back once (in
// the place of the line that replaced it, for a changed entry), an added
// line is taken away and no other, and a section the installation added
// goes once it is left empty. Log lines are appended, one per line of the
// block in its order; answers the number of changes made.
unsigned UndoProfileGroups(ProfileStore& store, const std::vector<ProfileGroup>& groups,
                           std::vector<std::string>& log);

// A profile file held as its text: every line kept as it stands, blank
// lines and comments included, and its line ends.
class ProfileText : public ProfileStore {
 public:
  explicit ProfileText(const std::string& bytes);
  std::string Bytes() const;

  bool HasSection(const std::string& title) override;
  std::vector<std::string> Entries(const std::string& title) override;
  bool SectionEmpty(const std::string& title) override;
  bool Remove(const std::string& title, const std::string& line) override;
  bool Replace(const std::string& title, const std::string& oldLine,
               const std::string& newLine) override;
  bool Add(const std::string& title, const std::string& line) override;
  bool DropSection(const std::string& title) override;

 private:
  struct Span {
    size_t title, begin, end;  // the title line (npos before the first section), its lines
  };
  std::vector<Span> Spans(const std::string& title) const;
  std::vector<std::string> lines_;
  std::string lineEnd_ = "\r\n";
  bool finalLineEnd_ = true;
};
