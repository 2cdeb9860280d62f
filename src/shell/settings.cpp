#include "shell/settings.h"

#include "recording/catalogue.h"
#include "services/registry.h"
#include "shell/program_state.h"

namespace settings {

namespace {

struct TextInfo {
  const char* name;
  const char* defaultValue;
};
// In the order of the enumeration.
constexpr TextInfo Texts[] = {
    {"Drives", "C"}, {"Type", ""},       {"Exclude", "\\\\"}, {"Bat", "x"},
    {"Pred", ""},    {"Succ", ""},       {"Last", ""},        {"Error", ""},
    {"Des", ""},     {"Temp", "C"},      {"TempFiles", "*.bak|*.tmp|*.old|~~*.*|*.~??"},
    {"SecDir", "A"},
};

struct NumberInfo {
  const char* name;
  int32_t defaultValue;
};
constexpr NumberInfo Numbers[] = {{"RecBin", 1}, {"Code", 3}, {"TD", 1}, {"SecNum", 0}};

}  // namespace

const char* NameOf(Text value) { return Texts[static_cast<int>(value)].name; }
const char* NameOf(Number value) { return Numbers[static_cast<int>(value)].name; }
std::string DefaultOf(Text value) { return Texts[static_cast<int>(value)].defaultValue; }
int32_t DefaultOf(Number value) { return Numbers[static_cast<int>(value)].defaultValue; }

std::string Read(Text value) { return ReadRegString(Key, NameOf(value), DefaultOf(value)); }
int32_t Read(Number value) { return ReadRegInteger(Key, NameOf(value), DefaultOf(value)); }
bool Write(Text value, const std::string& text) { return WriteRegString(Key, NameOf(value), text); }
bool Write(Number value, int32_t number) { return WriteRegInteger(Key, NameOf(value), number); }

void ApplyRecordingFallback(std::string& drives, std::string& types) {
  if (drives.empty() && types.find('R') == std::string::npos) {
    drives = Program.FixedDrives;
    types = "MCAIWSR";
  }
}

void LoadGeneralSettings() {
  Program.Drives = Read(Text::Drives);
  Program.Types = Read(Text::Type);
  Program.UseRecycleBin = Read(Number::RecBin) == 1;
  Program.ExclusionText = Read(Text::Exclude);
  BuildExclusionList(Program.ExclusionText);
  ApplyRecordingFallback(Program.Drives, Program.Types);
}

}  // namespace settings
