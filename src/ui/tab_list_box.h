// TTabListBox: a list box whose tab stops are given as percentages of its
// width, so that the columns of its lines keep their place whatever the
// width. The lines' tabs expand to the stops.
#pragma once
#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/controls.h"

// Percentages out of range or out of order.
class EOrderException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A value that is not a whole number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TTabListBox : public ListBox {
 public:
  TTabListBox() = default;
  // The list of a form, `width` pixels wide for its tab stops (its own
  // width, or the width it scrolls over).
  TTabListBox(const ListBox& list, int width) : ListBox(list.Handle()), width_(width) { ApplyTabStops(); }

  // "29, 34, 39, 44": up to ten values from 0 to 200, strictly increasing.
  // Bad text raises EOrderException or EConvertError and leaves the stops
  // in force.
  void SetTabPercentages(const std::string& text);
  std::string TabPercentages() const;
  // The stops handed to the list box, in dialog units.
  std::vector<int> TabStops() const;
  void SetWidth(int width) {
    width_ = width;
    ApplyTabStops();
  }

  static std::array<int, 10> ParseTabPercentages(const std::string& text);

 private:
  void ApplyTabStops() const;
  std::array<int, 10> values_{};
  int width_ = 0;
};
