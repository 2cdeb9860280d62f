#include "ui/tab_list_box.h"

#include <cerrno>
#include <cstdlib>

namespace {

std::string Trimmed(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

int WholeNumber(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    throw EConvertError("'" + text + "' n'est pas une valeur entière correcte");
  return static_cast<int>(value);
}

}  // namespace

std::array<int, 10> TTabListBox::ParseTabPercentages(const std::string& text) {
  std::array<int, 10> values{};
  int previous = -1;
  std::string rest = text;
  for (int& value : values) {
    rest = Trimmed(rest);
    // A comma is looked for first, then a blank.
    size_t cut = rest.find(',');
    if (cut == std::string::npos) cut = rest.find(' ');
    const bool last = cut == std::string::npos;
    const std::string item = last ? rest : Trimmed(rest.substr(0, cut)).substr(0, 15);
    rest = last ? "" : rest.substr(cut + 1);
    value = WholeNumber(item);
    if (value < 0 || value > 200)
      throw EOrderException("Les valeurs de TabPercentages doivent être comprises entre 0 and 200");
    if (value <= previous)
      throw EOrderException(" Les valeurs de TabPercentages doivent être en ordre croissant");
    previous = value;
    if (last) break;
  }
  return values;
}

void TTabListBox::SetTabPercentages(const std::string& text) {
  values_ = ParseTabPercentages(text);
  ApplyTabStops();
}

std::string TTabListBox::TabPercentages() const {
  std::string text = std::to_string(values_[0]);
  for (size_t i = 1; i < values_.size() && values_[i] > 0; ++i) text += ", " + std::to_string(values_[i]);
  return text;
}

std::vector<int> TTabListBox::TabStops() const {
  // Dialog units of the system font: four to its average character width.
  const int base = LOWORD(GetDialogBaseUnits());
  std::vector<int> stops;
  for (int value : values_) {
    if (value <= 0) break;
    stops.push_back(((width_ * value) / base) / 25);
  }
  return stops;
}

void TTabListBox::ApplyTabStops() const {
  if (!h_) return;
  std::vector<int> stops = TabStops();
  // The list measures dialog units with its font: the system font stands
  // in for the call, so that the units are the ones computed above.
  const WPARAM font = static_cast<WPARAM>(SendMessageA(h_, WM_GETFONT, 0, 0));
  SendMessageA(h_, WM_SETFONT, 0, FALSE);
  SendMessageA(h_, LB_SETTABSTOPS, stops.size(), reinterpret_cast<LPARAM>(stops.empty() ? nullptr : stops.data()));
  SendMessageA(h_, WM_SETFONT, font, FALSE);
  InvalidateRect(h_, nullptr, TRUE);
}
