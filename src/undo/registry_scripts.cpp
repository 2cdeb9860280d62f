#include "undo/registry_scripts.h"

#include "comparison/report_format.h"

namespace {

class Script {
 public:
  explicit Script(LineSink& out) : out_(out) { out_.WriteLine("REGEDIT4"); }

  void Key(const RegistryKeyChange& key, bool deletion) {
    std::string line;
    out_.WriteLine("");
    open_ = ScriptKeyLine(key.path, deletion, line);
    out_.WriteLine(open_ ? line : "; " + key.display + " : clé impossible à écrire ici");
  }
  void Value(const RegistryValueData& value, const std::string& text) {
    if (!open_) return;
    std::string line;
    out_.WriteLine(ScriptValueLine(value, line) ? line : "; " + text + " : valeur impossible à écrire ici");
  }
  void Deletion(const RegistryValueData& value, const std::string& text) {
    if (!open_) return;
    std::string line;
    out_.WriteLine(ScriptValueDeletion(value.name, line) ? line : "; " + text + " : valeur impossible à effacer ici");
  }

 private:
  LineSink& out_;
  bool open_ = false;
};

// The values of a key marked `marker`, deleted or written.
template <typename Act>
void EachValue(const RegistryKeyChange& key, char marker, Act act) {
  for (size_t i = 0; i < key.values.size(); ++i)
    if (key.values[i].first == marker) act(key.values[i].second, key.valueTexts[i]);
}

std::string BaseOf(const std::string& reportName) {
  size_t slash = reportName.find_last_of("\\:");
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  std::string base = reportName.substr(start, reportName.find('.', start) - start);
  return reportName.substr(0, start) + base.substr(0, 7);
}

}  // namespace

void WriteRegistryScripts(const std::vector<RegistryKeyChange>& keys, LineSink& undo, LineSink& redo) {
  // Taking back goes from the last key to the first, as the undo does:
  // sub-keys before the keys that hold them.
  Script back(undo);
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    const RegistryKeyChange& key = *it;
    if (key.marker == report::Added) {
      back.Key(key, true);
    } else if (key.marker == report::Removed) {
      back.Key(key, false);
      EachValue(key, report::Removed, [&](auto& v, auto& t) { back.Value(v, t); });
    } else {
      back.Key(key, false);
      EachValue(key, report::Added, [&](auto& v, auto& t) { back.Deletion(v, t); });
      EachValue(key, report::Removed, [&](auto& v, auto& t) { back.Value(v, t); });
    }
  }
  Script again(redo);
  for (const auto& key : keys) {
    if (key.marker == report::Added) {
      again.Key(key, false);
      EachValue(key, report::Added, [&](auto& v, auto& t) { again.Value(v, t); });
    } else if (key.marker == report::Removed) {
      again.Key(key, true);
    } else {
      again.Key(key, false);
      EachValue(key, report::Removed, [&](auto& v, auto& t) { again.Deletion(v, t); });
      EachValue(key, report::Added, [&](auto& v, auto& t) { again.Value(v, t); });
    }
  }
  undo.WriteLine("");
  redo.WriteLine("");
}

std::string UndoScriptNameOf(const std::string& reportName) { return BaseOf(reportName) + "A.REG"; }
std::string RedoScriptNameOf(const std::string& reportName) { return BaseOf(reportName) + "R.REG"; }
