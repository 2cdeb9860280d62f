#include "tools/backup_dialog.h"

#include <commctrl.h>

#include <cstdlib>

#include "services/files.h"
#include "services/folding.h"
#include "services/version_info.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"

namespace {

constexpr int Width = 640, Height = 442, BarHeight = 22;
constexpr int Half = 316;                 // the width of each group
constexpr int LeftX = 8, RightX = 8 + Half + 8;
constexpr int ListTop = 52, ListHeight = 150;
constexpr int InfoTop = 212, InfoStep = 21;
constexpr int ButtonsTop = 340, ButtonWidth = 100, ButtonHeight = 25;
constexpr UINT_PTR DragSubclass = 1;

constexpr const char* HintDisque1 = " le disque des fichiers originaux";
constexpr const char* HintRepertoire1 = " le répertoire des fichiers originaux";
constexpr const char* HintFichier1 = " choisissez le fichier à sauvegarder ou à restaurer";
constexpr const char* HintFiltre1 = " le type des fichiers de la liste";
constexpr const char* HintOriginal = " ce que le fichier original dit de lui-même";
constexpr const char* HintCopie = " ce que la copie de secours disait du fichier";
constexpr const char* HintArchiver = " archive une copie de secours du fichier sélectionné";
constexpr const char* HintRestaurer = " remplace le fichier original par sa copie de secours";
constexpr const char* HintActualiser = " relit la liste des archives";
constexpr const char* HintFermer = " referme cette fenêtre";

constexpr const char* RestoreFailed =
    "Le fichier n'a pas pu être restauré : il est peut-être utilisé actuellement par une autre application ; si "
    "l'erreur persiste, quittez Windows et restaurez-le avec un utilitaire tel que PKZip.";

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The directory "SecDir" names; its first character is the drive letter
// ("A" on the first use).
std::string DirectoryOfSetting(const std::string& secDir) {
  if (secDir.size() >= 3 && secDir[1] == ':' && secDir[2] == '\\') return secDir;
  return std::string(1, secDir.empty() ? 'A' : secDir[0]) + ":\\";
}

bool DriveReportsItsSize(char letter) {
  ULARGE_INTEGER available, total, free;
  const std::string root = std::string(1, letter) + ":\\";
  return GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free) != 0;
}

// -1, 0 or 1 as a is below, equal to or above b.
template <class T>
int Order(T a, T b) { return a < b ? -1 : a > b ? 1 : 0; }

// The colours of a pair of indicators for an ordered pair of values: the
// greater one green, the smaller one red.
void ColourPair(TLED& left, TLED& right, int order) {
  left.SetLEDColor(order < 0 ? lcRed : lcGreen);
  right.SetLEDColor(order > 0 ? lcRed : lcGreen);
}

}  // namespace

const std::pair<const char*, const char*> TSecurite::Filters[6] = {
    {"Applications", "*.exe;*.com"},
    {"Extensions d'applications", "*.dll;*.ocx;*.vbx"},
    {"Configuration du système", "*.sys;*.inf;*.cpl"},
    {"Pilotes de périphériques", "*.drv;*.vxd;*.386"},
    {"Polices", "*.ttf;*.fon"},
    {"Tous types de fichiers", "*.*"}};

TSecurite::TSecurite(HWND owner) {
  if (!CreateForm(owner, Title, Width, Height, WS_CAPTION | WS_SYSMENU)) return;
  HelpContext = HelpContextBackup;
  Zipper = std::make_unique<TZipArchiver>(Handle());
  MakeSourceHalf();
  MakeCopyHalf();
  btnFermer = AddButton("Fermer", (Width - ButtonWidth) / 2, ButtonsTop + 40, ButtonWidth, ButtonHeight,
                        [this] { Close(mrOk); }, HintFermer);
  BarredEtat = AddHintBar(BarHeight);

  Zipper->CompressionLevel = 9;
  Zipper->AddSwitches = {asHiddenFiles};
  // The copy is put back whatever its date: restoring an older copy over a
  // newer file is the point. The library checks each entry before it
  // replaces the file, so nothing unchecked is ever written.
  Zipper->ExtractSwitches = {esOverwrite};
  Zipper->OnEntriesRead = [this](TZipArchiver&) { ZipperEntriesRead(); };
  Zipper->OnMessage = [this](TZipArchiver&, int code, const std::string&) {
    if (code != 0) lastZipError_ = code;
  };
  FS.SetFileFilter("PVLN????.ZIP");
  FS.OnFound = [this](TFilesSearch& search) { FSFound(search); };

  char windows[50] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  chooser1_.FillDrives();
  chooser2_.FillDrives();
  chooser1_.ChooseDirectory(windows);
  Zipper->LoadZipLibrary();
}

TSecurite::~TSecurite() { TZipArchiver::FreeZipLibrary(); }

void TSecurite::MakeSourceHalf() {
  Originaux = AddGroupBox(" Fichiers originaux ", LeftX, 4, Half, ButtonsTop + ButtonHeight + 8);
  const int x1 = LeftX + 8, x2 = LeftX + 156, w1 = 144, w2 = Half - 164;
  Disque1 = AddComboBox(x1, 22, w1, 200, HintDisque1);
  Filtre1 = AddComboBox(x2, 22, w2, 200, HintFiltre1);
  Repertoire1 = AddListBox(x1, ListTop, w1, ListHeight, false, false, HintRepertoire1,
                           [this] { chooser1_.DirectoriesDblClick(); });
  Fichier1 = AddListBox(x2, ListTop, w2, ListHeight, true, false, HintFichier1);
  for (const auto& [name, masks] : Filters) Filtre1.Add(std::string(name) + " (" + masks + ")");
  SendMessageA(Filtre1.Handle(), CB_SETCURSEL, 0, 0);
  OnNotify(Disque1, CBN_SELCHANGE, [this] { chooser1_.DrivesChange(); });
  OnNotify(Filtre1, CBN_SELCHANGE, [this] { Filtre1Change(); });
  OnNotify(Fichier1, LBN_SELCHANGE, [this] { Fichier1Click(); });

  MakeInfoRows(LeftX, {&Version1, &Langue1, &Date1, &Taille1}, {&LEDV1, &LEDL1, &LEDD1, &LEDT1}, HintOriginal);
  Label9 = AddLabel("", x1, InfoTop + 4 * InfoStep + 8, 90, 16, HintOriginal);
  Label10 = AddLabel("", x1 + 92, InfoTop + 4 * InfoStep + 8, Half - 108, 16, HintOriginal);
  btnArchiver = AddButton("Archiver", x1, ButtonsTop, ButtonWidth, ButtonHeight, [this] { btnArchiverClick(); },
                          HintArchiver);
  btnAide = AddButton("Aide", LeftX + Half - 8 - ButtonWidth, ButtonsTop, ButtonWidth, ButtonHeight,
                      [this] { ShowHelp(Handle(), HelpContext); }, HintHelp);
  AddHintArea(LeftX, InfoTop - 4, Half, 4 * InfoStep + 32, HintOriginal);

  chooser1_.Drives = Disque1;
  chooser1_.Directories = Repertoire1;
  chooser1_.Files = Fichier1;
  chooser1_.UpperCaseDrives = true;
  chooser1_.MakesDirectoryCurrent = true;
  chooser1_.SetMaskText(Filters[0].second);
  chooser1_.DirectoryChanged = [this] { Fichier1Click(); };
  SetWindowSubclass(Fichier1.Handle(), DragProc, DragSubclass, reinterpret_cast<DWORD_PTR>(this));
}

// Version, language, date and size of one half, each with its indicator.
void TSecurite::MakeInfoRows(int left, std::array<Label*, 4> values, std::array<TLED*, 4> leds, const char* hint) {
  const char* captions[4] = {"Version :", "Langue :", "Date du fichier :", "Taille :"};
  for (int i = 0; i < 4; ++i) {
    const int y = InfoTop + i * InfoStep;
    AddLabel(captions[i], left + 8, y, 100, 16, hint);
    *values[i] = AddLabel("?", left + 112, y, Half - 148, 16, hint);
    *leds[i] = TLED(Handle(), left + Half - 28, y + 1, 14, 14);
  }
}

void TSecurite::MakeCopyHalf() {
  Copies = AddGroupBox(" Copies de secours ", RightX, 4, Half, ButtonsTop + ButtonHeight + 8);
  const int x1 = RightX + 8, x2 = RightX + 156, w1 = 144, w2 = Half - 164;
  Disque2 = AddComboBox(x1, 22, w1, 200, "Unité d'archivage");
  Fichier2 = AddListBox(x2, 22, w2, 22, true, false, "Nom de l'archive contenant les fichiers de secours");
  Repertoire2 = AddListBox(x1, ListTop, w1, ListHeight, false, false, "Répertoire d'archivage",
                           [this] { chooser2_.DirectoriesDblClick(); });
  ListBox1 = AddListBox(x2, ListTop, w2, ListHeight, true, false, "Fichiers stockés dans cette archive");
  OnNotify(Disque2, CBN_SELCHANGE, [this] { chooser2_.DrivesChange(); });
  OnNotify(Fichier2, LBN_SELCHANGE, [this] { Fichier2Click(); });
  OnNotify(ListBox1, LBN_SELCHANGE, [this] { ListBox1Click(); });

  MakeInfoRows(RightX, {&Version2, &Langue2, &Date2, &Taille2}, {&LEDV2, &LEDL2, &LEDD2, &LEDT2}, HintCopie);
  btnRestaurer = AddButton("Restaurer", x1, ButtonsTop, ButtonWidth, ButtonHeight, [this] { btnRestaurerClick(); },
                           HintRestaurer);
  BitBtn1 = AddButton("Actualiser", RightX + Half - 8 - ButtonWidth, ButtonsTop, ButtonWidth, ButtonHeight,
                      [this] { BitBtn1Click(); }, HintActualiser);
  AddHintArea(RightX, InfoTop - 4, Half, 4 * InfoStep + 8, HintCopie);

  chooser2_.Drives = Disque2;
  chooser2_.Directories = Repertoire2;
  chooser2_.Files = Fichier2;
  chooser2_.UpperCaseDrives = true;
  chooser2_.MakesDirectoryCurrent = true;
  chooser2_.Masks = {"pvln????.zip"};
  chooser2_.DirectoryChanged = [this] { Fichier2Change(); };
  SetWindowSubclass(ListBox1.Handle(), DragProc, DragSubclass, reinterpret_cast<DWORD_PTR>(this));
}

// ---- showing and hiding ----------------------------------------------------------------

void TSecurite::FormShow() {
  if (!index_.Open(Program.ProgramDirectory + BackupIndexName)) {
    ShowDiskError(static_cast<int>(GetLastError()));
    Close(mrCancel);
    return;
  }
  LoadBackupIndex();
  archiveCounter_ = settings::Read(settings::Number::SecNum);
  const std::string directory = DirectoryOfSetting(settings::Read(settings::Text::SecDir));
  if (!WaitForArchiveDisk(directory)) {
    index_.Close();
    Close(mrCancel);
    return;
  }
  opened_ = true;
  chooser1_.FillDrives();
  chooser2_.FillDrives();
  chooser1_.ChooseDirectory(chooser1_.Directory());
  chooser2_.ChooseDirectory(DirectoryExists(directory) ? directory : directory.substr(0, 3));
  Repaint();
}

// Until the drive of the archives can tell its size: no diskette, or no
// such drive. Cancel closes the dialog.
bool TSecurite::WaitForArchiveDisk(const std::string& directory) {
  const char letter = static_cast<char>(FoldUpper(directory.substr(0, 1))[0]);
  while (!DriveReportsItsSize(letter))
    if (ShowMessageBox(std::string("Mettez un disque dans le lecteur ") + letter, MessageKind::Error,
                       MessageButtons::OkCancel) != IDOK)
      return false;
  return true;
}

void TSecurite::FormHide() {
  if (!opened_) return;
  opened_ = false;
  index_.Close();
  settings::Write(settings::Number::SecNum, archiveCounter_);
  settings::Write(settings::Text::SecDir, chooser2_.Directory());
  chooser2_.ChooseDirectory(Program.ProgramDirectory);
}

void TSecurite::FormActivate() { SetCurrentDirectoryA(Program.ProgramDirectory.c_str()); }

void TSecurite::LoadBackupIndex() { Archive = index_.Names(); }

// ---- the archives ---------------------------------------------------------------------------

void TSecurite::Fichier2Change() {
  ListBox1.Clear();
  if (Fichier2.Count() < 1) {
    ArchName.clear();
    Zipper->SetArchiveName("");
    return;
  }
  Fichier2.Select(0);
  Fichier2Click();
}

void TSecurite::Fichier2Click() {
  const int selected = Fichier2.Selected();
  if (selected < 0) return;
  ArchName = chooser2_.Directory() + Fichier2.Item(selected);
  try {
    Zipper->SetArchiveName(ArchName);
  } catch (const EStreamError& e) {
    ShowMessageBox(e.what(), MessageKind::Error, MessageButtons::Ok);
  }
}

void TSecurite::ZipperEntriesRead() {
  ListBox1.Clear();
  for (const ArchiveEntry& entry : Zipper->ArchiveEntries) ListBox1.Add(entry.FileName);
}

void TSecurite::FSFound(TFilesSearch& search) { ArchName = search.FoundFile(); }

void TSecurite::BitBtn1Click() {
  ListBox1.Clear();
  chooser2_.Refresh();
  Fichier2Change();
  SelectInListBox1(CurrentFileName);
}

void TSecurite::SelectInListBox1(const std::string& name) {
  ListBox1.Select(-1);
  if (name.empty()) return;
  for (int i = 0; i < ListBox1.Count(); ++i)
    if (CompareFileNames(ListBox1.Item(i), name) == 0) {
      ListBox1.Select(i);
      return;
    }
}

// ---- the source file and its copy -------------------------------------------------------

void TSecurite::Filtre1Change() {
  const int selected = static_cast<int>(SendMessageA(Filtre1.Handle(), CB_GETCURSEL, 0, 0));
  if (selected < 0 || selected >= 6) return;
  chooser1_.SetMaskText(Filters[selected].second);
  Fichier1Click();
}

void TSecurite::Fichier1Click() {
  ShowSourceInfo();
  SelectInListBox1(CurrentFileName);
  CurrentRecord = -1;
  for (size_t i = 0; i < Archive.size() && !CurrentFileName.empty(); ++i)
    if (CompareFileNames(Archive[i], CurrentFileName) == 0) {
      CurrentRecord = static_cast<int>(i);
      break;
    }
  ShowCopyInfo();
  CompareIndicators();
}

void TSecurite::ShowSourceInfo() {
  for (Label* value : {&Version1, &Langue1, &Date1, &Taille1}) value->SetText("?");
  sourceDate_ = 0;
  sourceSize_ = sourceVersionHigh_ = sourceVersionLow_ = sourceLanguage_ = 0;
  CurrentFileName.clear();
  const std::string path = chooser1_.SelectedFile();
  if (path.empty()) return;
  CurrentFileName = NameOf(path);
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(path.c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    FindClose(h);
    sourceDate_ = DateTimeOfFileTime(found.ftLastWriteTime);
    Date1.SetText(DateTimeText(sourceDate_));
    sourceSize_ = static_cast<int32_t>(found.nFileSizeLow);
    Taille1.SetText(std::to_string(sourceSize_) + " octets");
  }
  const FileVersionInfo info = ReadFileVersionInfo(path);
  if (!info.Present) return;
  sourceVersionHigh_ = info.VersionHigh;
  sourceVersionLow_ = info.VersionLow;
  sourceLanguage_ = info.Language;
  Version1.SetText(VersionText(sourceVersionHigh_, sourceVersionLow_));
  Langue1.SetText(LanguageName(sourceLanguage_));
}

void TSecurite::ShowCopyInfo() {
  recordRead_ = CurrentRecord >= 0 && index_.Read(CurrentRecord, record_);
  if (!recordRead_) {
    CurrentRecord = -1;
    Label9.SetText("non archivé");
    Label10.SetText("");
    for (Label* value : {&Version2, &Langue2, &Date2, &Taille2}) value->SetText("?");
    return;
  }
  Label9.SetText("archivé dans ");
  const std::string archive = ArchiveFileName(record_.ArchiveNumber);
  Label10.SetText(archive);
  const int shown = Fichier2.Selected();
  if (shown >= 0 && CompareFileNames(Fichier2.Item(shown), archive) != 0) Fichier2.Select(-1);
  // A copy of a file without version information says so as the file does.
  const bool versioned = record_.VersionHigh != 0 || record_.VersionLow != 0;
  Version2.SetText(versioned ? VersionText(record_.VersionHigh, record_.VersionLow) : "?");
  Langue2.SetText(record_.Language != 0 ? LanguageName(record_.Language) : "?");
  Date2.SetText(DateTimeText(record_.DateTime));
  Taille2.SetText(std::to_string(record_.Size) + " octets");
}

void TSecurite::CompareIndicators() {
  for (TLED* led : {&LEDV1, &LEDL1, &LEDD1, &LEDT1, &LEDV2, &LEDL2, &LEDD2, &LEDT2}) {
    led->SetLEDColor(lcGreen);
    led->SetLEDOn(false);
  }
  if (!recordRead_ || CurrentFileName.empty() || CompareFileNames(record_.FileName, CurrentFileName) != 0) return;
  ColourPair(LEDD1, LEDD2, Order(sourceDate_, record_.DateTime));
  LEDD1.SetLEDOn(sourceDate_ > 0);
  LEDD2.SetLEDOn(record_.DateTime > 0);
  ColourPair(LEDT1, LEDT2, Order(sourceSize_, record_.Size));
  LEDT1.SetLEDOn(sourceSize_ > 0);
  LEDT2.SetLEDOn(record_.Size > 0);
  const int version = Order(sourceVersionHigh_, record_.VersionHigh) != 0
                          ? Order(sourceVersionHigh_, record_.VersionHigh)
                          : Order(sourceVersionLow_, record_.VersionLow);
  ColourPair(LEDV1, LEDV2, version);
  LEDV1.SetLEDOn(sourceVersionHigh_ > 0 || sourceVersionLow_ > 0);
  LEDV2.SetLEDOn(record_.VersionHigh > 0 || record_.VersionLow > 0);
  if (sourceLanguage_ != record_.Language) {
    const int32_t user = GetUserDefaultLangID();
    LEDL1.SetLEDColor(sourceLanguage_ == user ? lcGreen : lcRed);
    LEDL2.SetLEDColor(record_.Language == user ? lcGreen : lcRed);
  }
  LEDL1.SetLEDOn(sourceLanguage_ > 0);
  LEDL2.SetLEDOn(record_.Language > 0);
}

void TSecurite::ListBox1Click() {
  const int selected = ListBox1.Selected();
  if (selected < 0) return;
  chooser1_.SelectName(ListBox1.Item(selected));
  Fichier1Click();
}

// ---- saving --------------------------------------------------------------------------------

// The last archive of the archive directory into ArchName ("" when none).
bool TSecurite::FindArchiveOfCopy() {
  ArchName.clear();
  try {
    FS.SetInitialDir(chooser2_.Directory());
    FS.Execute();
  } catch (const EDirectoryError& e) {
    ShowMessageBox(e.what(), MessageKind::Error, MessageButtons::Ok);
    return false;
  }
  return true;
}

void TSecurite::NewArchive() {
  ++archiveCounter_;
  const std::string& directory = chooser2_.Directory();
  ArchName = directory + (directory.empty() || directory.back() != '\\' ? "\\" : "") + ArchiveFileName(archiveCounter_);
  Zipper->SetArchiveName(ArchName);
}

void TSecurite::btnArchiverClick() {
  const std::string source = chooser1_.SelectedFile();
  if (source.empty()) return;
  // A longer name would be stored cut in the index and never found again.
  if (CurrentFileName.size() > BackupNameLength) {
    ShowMessageBox("Le nom " + CurrentFileName + " a plus de 20 caractères : ce fichier ne peut pas être sauvegardé.",
                   MessageKind::Warning, MessageButtons::Ok);
    return;
  }
  if (!FindArchiveOfCopy()) return;
  const std::string copyArchive = Label10.Text();
  if (!copyArchive.empty()) {
    while (CompareFileNames(NameOf(ArchName), copyArchive) != 0) {
      if (ShowMessageBox("Une version de ce fichier est déjà archivée. Pour la remplacer, insérez le disque contenant "
                         "l'archive " + copyArchive + " ou sélectionnez le répertoire où elle se trouve.",
                         MessageKind::Confirmation, MessageButtons::OkCancel) != IDOK)
        return;
      Repaint();
      if (!FindArchiveOfCopy()) return;
    }
  }
  try {
    if (ArchName.empty()) NewArchive();
    SaveSelectedFile();
  } catch (const EStreamError& e) {
    ShowMessageBox(e.what(), MessageKind::Error, MessageButtons::Ok);
  }
  AfterSave();
}

// The copy goes into ArchName beside the old one, which it replaces only
// once it is in the archive whole: a full disk leaves the old copy and its
// record as they were.
void TSecurite::SaveSelectedFile() {
  const std::string source = chooser1_.SelectedFile();
  HourGlass busy;
  // The compressed size, measured in the program directory: never on the
  // archive disk nor in a directory the user browsed to.
  const std::string measure = Program.ProgramDirectory + "~~pv.tmp";
  DeleteFileForced(measure);
  Zipper->SetArchiveName(measure);
  Zipper->FileSpecs = {source};
  Zipper->AddFiles();
  const int64_t compressed = Zipper->ProcessedCount > 0 ? FileSizeOf(measure) : -1;
  DeleteFileForced(measure);
  if (compressed <= 0) {
    ShowMessageBox("Le fichier " + source + " n'a pas pu être archivé.", MessageKind::Error, MessageButtons::Ok);
    return;
  }
  // The archive is written anew beside the old one before it replaces it.
  const int64_t needed = compressed + (FileExists(ArchName) ? FileSizeOf(ArchName) : 0);
  const char drive = static_cast<char>(FoldUpper(chooser2_.Directory().substr(0, 1))[0]);
  uint64_t free = 0;
  int code = 0;
  if (!FreeBytesOf(std::string(1, drive) + ":\\", free, code) || free < static_cast<uint64_t>(needed)) {
    ShowMessageBox(std::string("Il n'y a pas assez de place sur le disque ") + drive + ".", MessageKind::Error,
                   MessageButtons::Ok);
    return;
  }
  Zipper->SetArchiveName(ArchName);
  if (FileExists(ArchName)) ClearSpecialAttributes(ArchName);
  lastZipError_ = 0;
  Zipper->FileSpecs = {source};
  Zipper->AddFiles();
  if (FileExists(ArchName)) SetReadOnly(ArchName);
  if (Zipper->ProcessedCount < 1 || lastZipError_ != 0) {
    ShowMessageBox("Le fichier " + source + " n'a pas pu être archivé.", MessageKind::Error, MessageButtons::Ok);
    return;
  }
  BackupIndexRecord record;
  record.FileName = CurrentFileName;
  record.ArchiveNumber = static_cast<uint16_t>(ArchiveNumberOf(ArchName));
  record.DateTime = sourceDate_;
  record.Size = sourceSize_;
  record.VersionHigh = sourceVersionHigh_;
  record.VersionLow = sourceVersionLow_;
  record.Language = sourceLanguage_;
  if (!index_.Write(CurrentRecord != -1 ? CurrentRecord : index_.Count(), record)) {
    ShowDiskError(static_cast<int>(GetLastError()));
    return;
  }
}

void TSecurite::AfterSave() {
  const std::string chosen = CurrentFileName;
  chooser2_.Refresh();
  Fichier2Change();
  LoadBackupIndex();
  chooser1_.SelectName(chosen);
  Fichier1Click();
}

// ---- restoring -------------------------------------------------------------------------------

void TSecurite::btnRestaurerClick() {
  const std::string source = chooser1_.SelectedFile();
  if (ListBox1.Selected() < 0 || source.empty()) return;
  if (ShowMessageBox("Voulez-vous vraiment remplacer le fichier " + source +
                         " par celui qui se trouve dans l'archive ?",
                     MessageKind::Confirmation, MessageButtons::YesNo) != IDYES)
    return;
  Repaint();
  bool restored = false;
  {
    HourGlass busy;
    Zipper->ExtractDir = chooser1_.Directory();
    lastZipError_ = 0;
    try {
      Zipper->SetArchiveName(ArchName);
      Zipper->FileSpecs = {source};
      Zipper->ExtractFiles();
      restored = Zipper->ProcessedCount > 0 && lastZipError_ == 0;
    } catch (const std::exception&) {
      restored = false;
    }
  }
  if (!restored) ShowMessageBox(RestoreFailed, MessageKind::Error, MessageButtons::Ok);
  Fichier1Click();
}

// ---- drag and drop ---------------------------------------------------------------------------

// A press on Fichier1 or ListBox1 with a line selected starts a drag once
// the mouse moves; Fichier1's lines are saved when dropped on ListBox1 or
// Fichier2, ListBox1's restored when dropped on Fichier1.
LRESULT CALLBACK TSecurite::DragProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  auto& dialog = *reinterpret_cast<TSecurite*>(self);
  const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_LBUTTONDOWN: {
      const LRESULT result = DefSubclassProc(h, message, wParam, lParam);
      if (SendMessageA(h, LB_GETCURSEL, 0, 0) >= 0) {
        dialog.dragFrom_ = h;
        dialog.dragStart_ = at;
        dialog.dragging_ = false;
        SetCapture(h);
      }
      return result;
    }
    case WM_MOUSEMOVE:
      if (dialog.dragFrom_ != h) break;
      if (!dialog.dragging_ && (std::abs(at.x - dialog.dragStart_.x) > GetSystemMetrics(SM_CXDRAG) ||
                                std::abs(at.y - dialog.dragStart_.y) > GetSystemMetrics(SM_CYDRAG))) {
        dialog.dragging_ = true;
        dialog.DragSource = h == dialog.Fichier1.Handle() ? 1 : 2;
      }
      if (!dialog.dragging_) break;
      SetCursor(LoadCursorA(nullptr, IDC_UPARROW));
      return 0;
    case WM_LBUTTONUP: {
      if (dialog.dragFrom_ != h) break;
      const bool dropped = dialog.dragging_;
      dialog.dragFrom_ = nullptr;
      dialog.dragging_ = false;
      // The list ends its own press first (it releases the mouse).
      const LRESULT result = DefSubclassProc(h, message, wParam, lParam);
      if (GetCapture() == h) ReleaseCapture();
      if (dropped) {
        POINT screen = at;
        ClientToScreen(h, &screen);
        dialog.DropOn(WindowFromPoint(screen));
      }
      dialog.DragSource = 0;
      return result;
    }
    case WM_CAPTURECHANGED:
      if (dialog.dragFrom_ == h && reinterpret_cast<HWND>(lParam) != h) {
        dialog.dragFrom_ = nullptr;
        dialog.dragging_ = false;
        dialog.DragSource = 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(h, DragProc, DragSubclass);
      break;
  }
  return DefSubclassProc(h, message, wParam, lParam);
}

void TSecurite::DropOn(HWND target) {
  if (DragSource == 1 && (target == ListBox1.Handle() || target == Fichier2.Handle())) btnArchiverClick();
  else if (DragSource == 2 && target == Fichier1.Handle()) btnRestaurerClick();
}
