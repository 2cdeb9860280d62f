// The settings store: every value under the program's registry key, with
// its type and default. Strings are stored cut to 50 characters.
#pragma once
#include <cstdint>
#include <string>

namespace settings {

constexpr const char* Key = "HKey_Current_User\\Software\\Ostralec\\Pivalune";

enum class Text { Drives, Type, Exclude, Bat, Pred, Succ, Last, Error, Des, Temp, TempFiles, SecDir };
enum class Number { RecBin, Code, TD, SecNum };

const char* NameOf(Text value);
const char* NameOf(Number value);
std::string DefaultOf(Text value);
int32_t DefaultOf(Number value);

std::string Read(Text value);
int32_t Read(Number value);
bool Write(Text value, const std::string& text);
bool Write(Number value, int32_t number);

// The general settings into the program-wide state: configured drives and
// types, UseRecycleBin, the exclusion text (and the exclusion list built
// from it), with the fallback to all fixed drives and "MCAIWSR".
void LoadGeneralSettings();
// Empty drives and no "R" in the types mean: all fixed drives, every type.
void ApplyRecordingFallback(std::string& drives, std::string& types);

}  // namespace settings
