#include "services/folding.h"
#include "services/io_error.h"

#include <array>

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 'a' + 'A');
  // CP1252 codes of à â é è ê ë î ï ô ö ù û ü ÿ ç.
  t[0xE0] = 'A'; t[0xE2] = 'A';
  t[0xE9] = 'E'; t[0xE8] = 'E'; t[0xEA] = 'E'; t[0xEB] = 'E';
  t[0xEE] = 'I'; t[0xEF] = 'I';
  t[0xF4] = 'O'; t[0xF6] = 'O';
  t[0xF9] = 'U'; t[0xFB] = 'U'; t[0xFC] = 'U';
  t[0xFF] = 'Y'; t[0xE7] = 'C';
  return t;
}

constexpr auto FoldTable = MakeFoldTable();

// What NTFS's upper-case table (and Wine's) does to the CP1252 letters:
// à..þ (but ÷) become À..Þ, and š œ ž ÿ become Š Œ Ž Ÿ.
constexpr std::array<unsigned char, 256> MakeFileNameTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 'a' + 'A');
  for (int c = 0xE0; c <= 0xFE; ++c)
    if (c != 0xF7) t[c] = static_cast<unsigned char>(c - 0x20);
  t[0x9A] = 0x8A; t[0x9C] = 0x8C; t[0x9E] = 0x8E; t[0xFF] = 0x9F;
  return t;
}

constexpr auto FileNameTable = MakeFileNameTable();

using Table = std::array<unsigned char, 256>;

std::string Folded(const Table& table, std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return out;
}

int CompareThrough(const Table& table, std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = table[static_cast<unsigned char>(a[i])];
    unsigned char y = table[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string FoldUpper(std::string_view text) { return Folded(FoldTable, text); }
int CompareFolded(std::string_view a, std::string_view b) { return CompareThrough(FoldTable, a, b); }

unsigned char FoldFileNameChar(unsigned char c) { return FileNameTable[c]; }
std::string FoldFileName(std::string_view text) { return Folded(FileNameTable, text); }
int CompareFileNames(std::string_view a, std::string_view b) {
  return CompareThrough(FileNameTable, a, b);
}

int PosFolded(std::string_view part, std::string_view text) {
  if (part.empty()) return 0;
  size_t at = FoldUpper(text).find(FoldUpper(part));
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string DiskErrorText(int code) {
  switch (code) {
    case 2: return "Le document est introuvable.";
    case 3: return "Le dossier est introuvable.";
    case 4: return "Il y a trop de documents ouverts.";
    case 5: return "L'accès au disque est refusé.";
    case 7: return "La surface du disque est endommagée.";
    case 8: return "Il n'y a pas assez de place sur le disque.";
    case 19: return "La disquette est protégée contre l'écriture.";
    case 21: return "Insérez une disquette dans le lecteur.";
    case 39:
    case 112: return "Il n'y a plus de place sur le disque.";
    default: return "Erreur de lecture ou écriture sur disque.";
  }
}
