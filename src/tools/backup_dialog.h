// "Pivalune 98 - Sauvegarde des fichiers-système": keeps compressed safety
// copies of single system files in numbered "PVLN" archives on a chosen
// drive and directory (a diskette, typically), shows side by side what the
// file and its copy say about themselves, with indicators telling which is
// newer, and puts a copy back on request. "SECUINFO.PVL" in the program
// directory tells which file lies in which archive.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "tools/backup_index.h"
#include "tools/files_search.h"
#include "tools/zip_archiver.h"
#include "ui/file_chooser.h"
#include "ui/form.h"
#include "ui/led.h"

class TSecurite : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Sauvegarde des fichiers-système";
  static constexpr int HelpContextBackup = 520;

  explicit TSecurite(HWND owner);
  ~TSecurite() override;

  // The source files.
  GroupBox Originaux;
  ComboBox Disque1, Filtre1;
  ListBox Repertoire1, Fichier1;
  Label Version1, Langue1, Date1, Taille1;
  TLED LEDV1, LEDL1, LEDD1, LEDT1;
  Label Label9, Label10;
  Button btnArchiver, btnAide;
  // The safety copies.
  GroupBox Copies;
  ComboBox Disque2;
  ListBox Repertoire2, Fichier2, ListBox1;
  Label Version2, Langue2, Date2, Taille2;
  TLED LEDV2, LEDL2, LEDD2, LEDT2;
  Button btnRestaurer, BitBtn1;
  Button btnFermer;
  Panel BarredEtat;

  // Made once the window exists: the component takes its owner's window.
  std::unique_ptr<TZipArchiver> Zipper;
  TFilesSearch FS;

  // The archive to use (full path), and the index's names in record order.
  std::string ArchName;
  std::vector<std::string> Archive;
  std::string CurrentFileName;
  int CurrentRecord = -1;
  int DragSource = 0;  // 1: from Fichier1, 2: from ListBox1

  // The masks of the filter box, in its order.
  static const std::pair<const char*, const char*> Filters[6];

  // The full path of the selected source file, "" when none.
  std::string SelectedSourceFile() const { return chooser1_.SelectedFile(); }
  const std::string& SourceDirectory() const { return chooser1_.Directory(); }
  const std::string& ArchiveDirectory() const { return chooser2_.Directory(); }
  void ChooseSourceDirectory(const std::string& directory) { chooser1_.ChooseDirectory(directory); }
  void ChooseArchiveDirectory(const std::string& directory) { chooser2_.ChooseDirectory(directory); }

  // The events, public so that a drag can end in them.
  void Fichier1Click();
  void ListBox1Click();
  void btnArchiverClick();
  void btnRestaurerClick();
  void BitBtn1Click();
  void Filtre1Change();

 protected:
  void FormShow() override;
  void FormHide() override;
  void FormActivate() override;

 private:
  void MakeSourceHalf();
  void MakeCopyHalf();
  void MakeInfoRows(int left, std::array<Label*, 4> values, std::array<TLED*, 4> leds, const char* hint);
  void Fichier2Change();
  void Fichier2Click();
  void ZipperEntriesRead();
  void FSFound(TFilesSearch& search);

  bool WaitForArchiveDisk(const std::string& directory);
  void LoadBackupIndex();
  void ShowSourceInfo();
  void ShowCopyInfo();
  void CompareIndicators();
  void NewArchive();
  bool FindArchiveOfCopy();
  void SaveSelectedFile();
  void AfterSave();
  void SelectInListBox1(const std::string& name);
  void Repaint() const { RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

  FileChooser chooser1_, chooser2_;
  BackupIndex index_;
  BackupIndexRecord record_;  // the record last read
  bool recordRead_ = false;
  // The source file's values, all 0 when not available.
  double sourceDate_ = 0;
  int32_t sourceSize_ = 0, sourceVersionHigh_ = 0, sourceVersionLow_ = 0, sourceLanguage_ = 0;
  int32_t archiveCounter_ = 0;  // "SecNum"
  bool opened_ = false;
  int lastZipError_ = 0;
  // Drags from the two lists: pressed, then moved far enough.
  HWND dragFrom_ = nullptr;
  POINT dragStart_{};
  bool dragging_ = false;
  static LRESULT CALLBACK DragProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  void DropOn(HWND target);
};
