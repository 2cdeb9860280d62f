// The search for duplicate files: series of files on the configured drives
// whose contents are the same, byte for byte.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Only files of the same name are compared (the finder's check box).
extern bool SameNameOnly;

// Fills `result` with one series text per series found, sorted without
// regard to case (so by the first path of each series). A series text is,
// for each of its files in the order of their entries, the path, "õ" and
// the entry's size, "[", DOS time, "]" and attributes, joined by "|".
// Files that share their size with another but cannot be read are never
// taken for copies of anything: they go into `unreadable`.
// Reads Program.Drives, the exclusion text and SameNameOnly; shows its
// progress in the wait window. Failures of the file layer raise IoError.
void FindDuplicateSeries(std::vector<std::string>& result, std::vector<std::string>* unreadable = nullptr);

// The parts of a series text, one per file: "path" + "õ" + info.
std::vector<std::string> SeriesParts(std::string_view series);
std::string JoinSeries(const std::vector<std::string>& parts);
// The path of a part (before its "õ").
std::string PartPath(std::string_view part);
// The line a file of a series is shown with: its path, a tab, then the
// size right-aligned in 8 characters (a larger size shown whole), a blank
// and the date and time "dd/mm/yyyy hh:mm" of its DOS time.
std::string SeriesListLine(std::string_view part);
