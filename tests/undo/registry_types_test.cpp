// Every registry value goes back with its exact type and bytes: snapshots
// recorded around a change, compared into a report, the report undone, and
// the registry recorded again must give the first snapshot back. The
// registry scripts of the same report, byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "comparison/registry_comparison.h"
#include "services/snapshot.h"
#include "services/text_file.h"
#include "undo/registry_restore.h"
#include "undo/registry_rules.h"
#include "undo/registry_scripts.h"
#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

const wchar_t* const Key = L"Software\\PvTypes";

void Set(HKEY key, const wchar_t* name, DWORD type, const std::string& bytes) {
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

std::string Utf16(const std::u16string& text, bool terminated = true) {
  std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return terminated ? bytes + std::string(2, '\0') : bytes;
}

// Values of every type, and names and texts that no plain line carries.
void MakeValues(const wchar_t* path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  Set(key, L"Chemin", REG_EXPAND_SZ, Utf16(u"%SystemRoot%\\system32;C:\\Appli"));
  Set(key, L"Liste", REG_MULTI_SZ, Utf16(u"un") + Utf16(u"") + Utf16(u"trois") + std::string(2, '\0'));
  Set(key, L"Gros", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  Set(key, L"Rien", REG_NONE, "");
  Set(key, L"Ordre", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x2a", 4));
  Set(key, L"Ressources", REG_RESOURCE_LIST, "\x01\x02\x03");
  Set(key, L"Inconnu", 0x4242, "\xFE");
  Set(key, L"nom=avec", REG_SZ, Utf16(u"a=b"));
  Set(key, L"ligne\r\ncoupée", REG_SZ, Utf16(u"deux\r\nlignes"));
  Set(key, L"\u03a9mega", REG_SZ, Utf16(u"\u03c0 \u20ac"));
  Set(key, L"guillemet\"", REG_SZ, Utf16(u"\"cité\""));
  Set(key, L"", REG_BINARY, std::string("\x00\xff", 2));
  RegCloseKey(key);
}

std::string CompareFiles(const std::string& before, const std::string& after) {
  std::ifstream oldMember(before, std::ios::binary), newMember(after, std::ios::binary);
  struct Lines : LineSink {
    void WriteLine(std::string_view line) override {
      text.append(line);
      text += "\r\n";
    }
    std::string text;
  } lines;
  report::Writer out(lines);
  CompareRegistry(oldMember, newMember, out);
  return lines.text;
}

class RegistryTypes : public UndoTest {
 protected:
  // A restore of a report holding this registry block.
  void Restore(const std::string& block) {
    std::ofstream(dir_ + "TYPES.PV2", std::ios::binary)
        << "* Comparaison du 06/12/1998 \xE0 10:00:00\r\n  par rapport au 01/12/1998 \xE0 09:00:00\r\n"
           "\r\nModifications dans Base de registres\r\n"
        << block << "\r\n";
    Run("TYPES.PV2", "", false, 0);
  }
  RegistrySandbox registry_;
};

TEST_F(RegistryTypes, EveryValueComesBackWithItsTypeAndBytes) {
  MakeValues(Key);
  HKEY changed = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\PvChanged", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &changed, nullptr),
            ERROR_SUCCESS);
  Set(changed, L"Type", REG_SZ, Utf16(u"%TEMP%"));
  const std::string before = dir_ + "before.txt", after = dir_ + "after.txt", again = dir_ + "again.txt";
  WriteRegistrySnapshot(before);

  // The values gone with their key, one changed to another type, others added.
  ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, Key), ERROR_SUCCESS);
  Set(changed, L"Type", REG_EXPAND_SZ, Utf16(u"%TEMP%"));
  MakeValues(L"Software\\PvAdded");
  RegCloseKey(changed);
  WriteRegistrySnapshot(after);

  Restore(CompareFiles(before, after));
  WriteRegistrySnapshot(again);
  EXPECT_EQ(ReadWholeFile(again), ReadWholeFile(before));
  EXPECT_EQ(ReadWholeFile(dir_ + "TYPES.PV3").find("impossible"), std::string::npos)
      << ReadWholeFile(dir_ + "TYPES.PV3");
}

// The scripts take the changes back as the undo does, and make them again.
TEST_F(RegistryTypes, ScriptsOfAReport) {
  const std::vector<std::string> block = {
      "+HKey_Local_Machine\\Software\\Ajout",
      "+\"Chemin\"=expand:\"%ProgramFiles%\\Ajout\"",
      "+\"Liste\"=multi:\"a\",\"\",\"b\"",
      "+HKey_Local_Machine\\Software\\Ajout\\Sous",
      "+@=\"défaut \\\"cité\\\"\"",
      " HKey_Local_Machine\\Software\\Change",
      "-\"Compte\"=dword:00000002",
      "+\"Compte\"=dword:00000003",
      "+\"Gros\"=qword:0000000100000002",
      "+%\"%u03A9\"=\"grec\"",
      "-HKey_Users\\S-1-5-21-1\\Software\\Ancien",
      "-\"Ligne\"=%\"a%0D%0Ab\"",
      "-\"Motif\"=hex:01,AB",
  };
  std::vector<RegistryKeyChange> keys;
  ASSERT_TRUE(RegistryKeyChangesOf(block, keys));
  const std::string undo = dir_ + "TESTA.REG", redo = dir_ + "TESTR.REG";
  {
    TextFileWriter undoFile(undo), redoFile(redo);
    WriteRegistryScripts(keys, undoFile, redoFile);
    undoFile.Close();
    redoFile.Close();
  }
  ExpectMatchesGolden(undo, "undo/golden/scripts_undo.REG");
  ExpectMatchesGolden(redo, "undo/golden/scripts_redo.REG");
  EXPECT_EQ(UndoScriptNameOf("ASYK3DD.PV1"), "ASYK3DDA.REG");
  EXPECT_EQ(RedoScriptNameOf("C:\\RAPPORTS\\ASYK3DD.PV2"), "C:\\RAPPORTS\\ASYK3DDR.REG");
}

}  // namespace
