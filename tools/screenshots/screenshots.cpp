// Shows one window of the program with the content a user would see, lets
// it paint, and saves a picture of it, frame included:
//   pv_screenshots.exe <window> <file.png> [<cut-texts.txt>]
// <window> is the class of the window (TSplash, TPrincipal, TConfiguration,
// ...) or ShowMessageBox. Meant to run inside Wine's virtual desktop, which
// draws the frames (tools/screenshots.sh); the picture is read back from
// the screen, so the window must not be covered. The texts that the
// controls are too small for are appended to the third file.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comparison/archive_dialog.h"
#include "comparison/compare_wizard.h"
#include "comparison/install_wizard.h"
#include "comparison/report_viewer.h"
#include "png_file.h"
#include "recording/record_wizard.h"
#include "recording/running_apps_dialog.h"
#include "services/wait_message.h"
#include "shell/configuration_dialog.h"
#include "shell/main_window.h"
#include "shell/messages_dialog.h"
#include "shell/program_state.h"
#include "shell/report_chooser.h"
#include "shell/settings.h"
#include "shell/splash.h"
#include "ui/application.h"
#include "ui/messages.h"
#include "ui/wait_window.h"
#include "ui/wizard.h"
#include "undo/replaced_files_warning.h"
#include "undo/restart_prompt.h"
#include "undo/restore_wizard.h"
#include "undo/uninstall_wizard.h"
#include "tools/backup_dialog.h"
#include "tools/cleaner_dialog.h"
#include "tools/duplicates_dialog.h"

namespace {

constexpr const char* ProgramDirectory = "C:\\Program Files\\Pivalune\\";
constexpr DWORD PaintMilliseconds = 800;

// Dispatches the messages of this thread for a while, so that every control
// has painted (and the frame of the virtual desktop too).
void Settle(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    ProcessPendingMessages();
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

bool CaptureWindow(HWND window, const std::string& path) {
  RECT r;
  if (!window || !GetWindowRect(window, &r)) return false;
  // Only what is on the screen can be read back.
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, GetSystemMetrics(SM_CXSCREEN));
  r.bottom = std::min<LONG>(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = dib != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, dib);
    ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  std::vector<uint8_t> rgb;
  if (ok) {
    const auto* bgra = static_cast<const uint8_t*>(bits);
    rgb.resize(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
      rgb[3 * i] = bgra[4 * i + 2];
      rgb[3 * i + 1] = bgra[4 * i + 1];
      rgb[3 * i + 2] = bgra[4 * i];
    }
  }
  if (dib) DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok && WritePng(path, width, height, rgb);
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The texts of a window's controls that its font does not let them show
// whole: a label whose lines need more height than it has (its words wrap),
// a one-line text (button, box, lowered panel) wider than its room. One
// line per text, for the person who looks at the pictures.
struct CutTexts {
  std::vector<std::string> lines;
};

BOOL CALLBACK CheckControl(HWND control, LPARAM param) {
  auto& cut = *reinterpret_cast<CutTexts*>(param);
  if (!IsWindowVisible(control)) return TRUE;
  const std::string text = Control(control).Text();
  if (text.empty()) return TRUE;
  const std::string cls = ClassOf(control);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  RECT client;
  GetClientRect(control, &client);
  const int width = client.right, height = client.bottom;

  HDC dc = GetDC(control);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  // The room the control's own drawing leaves for the text.
  int room = width;
  bool wraps = false;
  if (_stricmp(cls.c_str(), "Button") == 0) {
    const LONG kind = style & BS_TYPEMASK;
    if (kind == BS_OWNERDRAW) {
      // A picture button draws a caption too wide for it in a narrower
      // font (ui/form.cpp): that one must fit.
      static HFONT narrow = CreateFontA(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
      room = width - 4;
      SelectObject(dc, DefaultFont());
      SIZE extent{};
      GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      if (extent.cx > room) SelectObject(dc, narrow);
    } else if (kind == BS_GROUPBOX) room = width - 16;
    else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
             kind == BS_AUTORADIOBUTTON || kind == BS_3STATE || kind == BS_AUTO3STATE)
      room = width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
    else room = width - 6;  // the button's frame
  } else if (_stricmp(cls.c_str(), "Static") == 0) {
    const LONG kind = style & SS_TYPEMASK;
    if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP) room = -1;
    wraps = kind != SS_LEFTNOWORDWRAP && !(style & SS_CENTERIMAGE);
  } else {
    room = -1;  // edit boxes and lists scroll
  }
  if (room >= 0) {
    const UINT prefix = (style & SS_NOPREFIX) && _stricmp(cls.c_str(), "Static") == 0 ? DT_NOPREFIX : 0;
    RECT need{0, 0, wraps ? room : 0, 0};
    DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_EXPANDTABS | prefix | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    if (need.right > room || need.bottom > height) {
      RECT oneLine{0, 0, 0, 0};
      DrawTextA(dc, text.c_str(), -1, &oneLine, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE | prefix);
      char line[600];
      std::snprintf(line, sizeof line, "%s \"%s\": %ld pixels wide on one line, %ldx%ld %s, room %dx%d",
                    cls.c_str(), text.c_str(), oneLine.right, need.right, need.bottom,
                    wraps ? "wrapped" : "needed", room, height);
      cut.lines.push_back(line);
    }
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return TRUE;
}

// Where the cut texts are written, and the name they are reported under.
std::string CutReportPath, WindowName;

// Appends the cut texts of the window to the report file, if one is given.
void ReportCutTexts(HWND window) {
  if (CutReportPath.empty() || !window) return;
  CutTexts cut;
  EnumChildWindows(window, CheckControl, reinterpret_cast<LPARAM>(&cut));
  // Every hint of the form's controls, as its status bar would show it.
  const TForm* form = TForm::FromHandle(window);
  const HWND bar = form ? form->HintBar().Handle() : nullptr;
  if (bar) {
    RECT room;
    GetClientRect(bar, &room);
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(bar, WM_GETFONT, 0, 0)));
    std::vector<std::string> seen;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      const std::string hint = form->HintOf(c);
      if (hint.empty() || std::find(seen.begin(), seen.end(), hint) != seen.end()) continue;
      seen.push_back(hint);
      RECT need{0, 0, 0, 0};
      DrawTextA(dc, hint.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
      if (need.right > room.right) {
        char line[600];
        std::snprintf(line, sizeof line, "status bar hint \"%s\": %ld pixels wide, room %ld", hint.c_str(),
                      need.right, room.right);
        cut.lines.push_back(line);
      }
    }
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
  }
  FILE* f = std::fopen(CutReportPath.c_str(), "ab");
  if (!f) return;
  for (const auto& line : cut.lines) std::fprintf(f, "%s: %s\n", WindowName.c_str(), line.c_str());
  std::fclose(f);
}

// Shows the form (by `show`), lets it paint, puts `hint` of one of its
// controls into its status bar, and takes the picture.
bool Shoot(TForm& form, const std::string& path, const std::function<void()>& show,
           HWND hintOf = nullptr, const std::function<void()>& filled = nullptr) {
  if (!form.Created()) return false;
  show();
  Settle(PaintMilliseconds);
  if (filled) filled();
  if (hintOf) form.MouseOver(hintOf);
  BringWindowToTop(form.Handle());
  SetForegroundWindow(form.Handle());
  RedrawWindow(form.Handle(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Settle(PaintMilliseconds / 2);
  ReportCutTexts(form.Handle());
  return CaptureWindow(form.Handle(), path);
}

void WriteFixture(const std::string& name, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  HANDLE h = CreateFileA((Program.ProgramDirectory + name).c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

// An installation report with every kind of block, and a few other
// reports and an undo log for the chooser.
void WriteFixtureReports() {
  WriteFixture("ASYK3DD.PV1", {
      "* Installation de Mon Jeu le 05/12/1998 à 14:03:07",
      "",
      "Modifications au Catalogue de C:\\",
      "C:\\PROGRAM FILES\\",
      "+MON JEU   REP",
      "C:\\PROGRAM FILES\\MON JEU\\",
      "+JEU.EXE         482304 05/12/1998 14:02",
      "+LISEZMOI.TXT      2311 01/12/1998 09:00",
      "+Règles du jeu.doc 18944 01/12/1998 09:00",
      "C:\\WINDOWS\\SYSTEM\\",
      " MFC42.DLL       995328 24/04/1998 00:00",
      ">MFC42.DLL       995328 11/06/1997 00:00",
      " 6 modifications",
      "",
      "",
      "Modifications dans C:\\WINDOWS\\WIN.INI",
      "[Mon Jeu]",
      "+Répertoire=C:\\PROGRAM FILES\\MON JEU",
      "+Qualité=élevée",
      " 2 modifications",
      "",
      "",
      "Modifications dans C:\\AUTOEXEC.BAT",
      "=@ECHO OFF",
      "-SET PATH=C:\\WINDOWS;C:\\WINDOWS\\COMMAND",
      "+SET PATH=C:\\WINDOWS;C:\\WINDOWS\\COMMAND;C:\\PROGRA~1\\MONJEU",
      " 2 modifications",
      "",
      "",
      "Modifications dans Base de registres",
      "+HKey_Local_Machine\\SOFTWARE\\Mon Jeu",
      "+\"Version\"=\"1.1\"",
      "+\"Dossier\"=\"C:\\\\Program Files\\\\Mon Jeu\"",
      " HKey_Current_User\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
      "-\"Dernière ouverture\"=\"aucune\"",
      "+\"Dernière ouverture\"=\"Mon Jeu\"",
      " 4 modifications",
      "",
      "",
  });
  WriteFixture("ASYK4FA.PV2", {"* Comparaison du 06/12/1998 à 10:00:00",
                            "  par rapport au 05/12/1998 à 14:03:07", "", ""});
  WriteFixture("ASYK5GB.PV1", {"* Lancement de Éditeur de français le 07/12/1998 à 09:12:45", "", ""});
  WriteFixture("ASYK6HC.PV3", {"* Désinstallation de Mon Jeu le 08/12/1998 à 18:30:00", "", ""});
}

// The program-wide state of a machine with a hard disk C:, a second one D:
// and a diskette drive, as start-up would have read it.
void PrepareProgram() {
  CreateDirectoryA("C:\\Program Files", nullptr);
  CreateDirectoryA(ProgramDirectory, nullptr);
  Program.ProgramDirectory = ProgramDirectory;
  SetCurrentDirectoryA(ProgramDirectory);
  Program.HelpAvailable = true;
  Program.RemovableDrives = "A";
  Program.FixedDrives = "CD";
  Program.Drives = "C";
  Program.Types = "MCAWIR";
  Program.ExclusionText = "C:\\WINDOWS\\TEMP;C:\\RECYCLED";
  Program.UseRecycleBin = true;
  Program.ConfirmLevel = 2;
  WriteFixtureReports();
  // One state: with more, the main window would remind the user to archive.
  WriteFixture("ASYK3DA.000", {"* le 05/12/1998 à 13:58:41", "{C_MCAWIR_\\\\}", "Catalogue de C:\\"});
  settings::Write(settings::Text::Last, "ASYK3DD.PV1");
}

// The record wizard at one of its steps. Step D is shown as while the
// recording runs; nothing is recorded (the recording runs from "Terminer").
class TShotRecordWizard : public TAssEnreg {
 public:
  TShotRecordWizard() : TAssEnreg(nullptr) {}
  void Step(char letter) {
    if (letter == 'C') Disquedur.SetChecked(true);
    ShowStep(letter);
  }
};

bool ShootRecordWizard(char step, const std::string& path) {
  TShotRecordWizard wizard;
  return Shoot(wizard, path, [&] { wizard.Show(); }, step == 'A' ? wizard.BtnConfig.Handle() : nullptr,
               [&] { wizard.Step(step); });
}

// The archive dialog with the reports of the program directory, a state,
// and two lines selected.
bool ShootArchiveDialog(const std::string& path) {
  TTransferer dialog(nullptr);
  return Shoot(dialog, path, [&] { dialog.Show(); }, dialog.Deplacer.Handle(), [&] {
    dialog.Liste.SetSelected(1, true);
    dialog.Liste.SetSelected(2, true);
    SendMessageA(dialog.Deplacer.Handle(), BM_CLICK, 0, 0);
  });
}

// A wizard whose steps the pictures show one by one; no step's work runs
// (the work runs from the buttons).
template <class Wizard>
class TShot : public Wizard {
 public:
  using Wizard::Wizard;
  using Wizard::ShowStep;
};

// The long-lived windows the wizards open; none is shown.
struct LongLived {
  TChoisir chooser{nullptr};
  TRapport viewer{nullptr, chooser};
  TAttention warning{nullptr};
  TReStart restart{nullptr};
  TTransferer archive{nullptr};
};

// Chooses the first line holding the text, as a click would.
void ChooseLine(const ListBox& list, const std::string& text) {
  for (int i = 0; i < list.Count(); ++i)
    if (list.Item(i).find(text) != std::string::npos) {
      list.Select(i);
      SendMessageA(GetParent(list.Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list.Handle()), LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list.Handle()));
      return;
    }
}

bool ShootCompareWizard(char step, const std::string& path) {
  LongLived windows;
  TShot<TAssCompare> wizard(nullptr, windows.archive, windows.viewer, windows.warning);
  return Shoot(wizard, path, [&] { wizard.Show(); }, nullptr, [&] {
    ChooseLine(wizard.Liste, "ASYK3DA");
    if (step == 'A') return;
    wizard.BtnSuivant.Click();
    if (step == 'D') {  // as after the comparison
      for (const Button* b : {&wizard.BtnPrecedent, &wizard.BtnAnnuler}) b->SetEnabled(false);
    }
    if (step != 'B') wizard.ShowStep(step);
  });
}

bool ShootRestoreWizard(char step, const std::string& path) {
  LongLived windows;
  TShot<TAssRestaure> wizard(nullptr, windows.archive, windows.viewer, windows.restart);
  return Shoot(wizard, path, [&] { wizard.Show(); }, nullptr, [&] {
    ChooseLine(wizard.Liste, "ASYK3DA");
    if (step == 'A') return;
    wizard.BtnSuivant.Click();  // takes the selection, nothing more
    if (step == 'C') wizard.ShowStep('C');
  });
}

// Applications in Windows' list of the prefix the pictures are taken in.
void RegisterSampleApplications() {
  const std::pair<const char*, const char*> applications[] = {
      {"Mon Jeu", "\"C:\\Program Files\\Mon Jeu\\desinstaller.exe\""},
      {"Éditeur de français 2.0", "C:\\Program Files\\Editeur\\uninst.exe /x"},
      {"Pivalune 98", "C:\\Program Files\\Pivalune\\desinst.exe"},
  };
  for (const auto& [name, command] : applications) {
    const std::string key = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr))
      continue;
    RegSetValueExA(h, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                   static_cast<DWORD>(std::strlen(name) + 1));
    RegSetValueExA(h, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>(std::strlen(command) + 1));
    RegCloseKey(h);
  }
}

bool ShootUninstallWizard(char step, const std::string& path) {
  RegisterSampleApplications();
  LongLived windows;
  TShot<TAssDesinst> wizard(nullptr, windows.archive, windows.viewer, windows.restart);
  wizard.StartRemovalPanel = nullptr;  // a picture starts nothing
  return Shoot(wizard, path, [&] { wizard.Show(); }, nullptr, [&] {
    ChooseLine(wizard.Liste, step == 'X' ? "Pivalune" : "Mon Jeu");
    if (step == 'A') return;
    wizard.ShowStep('B');
    if (step == 'B' || step == 'X') {
      if (step == 'X') wizard.ShowStep('X');
      return;
    }
    wizard.ShowStep('C');
    if (step == 'C') return;
    wizard.ReportWanted = true;
    wizard.ShowStep('D');
    if (step == 'D') return;
    wizard.ShowStep('E');
    ChooseLine(wizard.Liste, "ASYK3DD.PV1");
    if (step == 'E') return;
    wizard.ShowStep('F');
    if (step == 'G') wizard.ShowStep('G');
  });
}

// The duplicate finder as after a search: two series found, the first
// shown, two of its files selected.
bool ShootDuplicateFinder(const std::string& path) {
  TDoublons dialog(nullptr);
  return Shoot(dialog, path, [&] { dialog.Show(); }, dialog.btnSupprimer.Handle(), [&] {
    const std::string info = "\xF5" "995328[583729152]32";
    dialog.Series = {"C:\\Program Files\\Mon Jeu\\MFC42.DLL" + info + "|C:\\WINDOWS\\SYSTEM\\MFC42.DLL" + info +
                         "|C:\\Jeux\\Ancien\\MFC42.DLL" + info,
                     "C:\\Mes documents\\lettre.doc\xF5" "18944[629229568]32|C:\\Sauvegarde\\lettre.doc\xF5"
                     "18944[629229568]32"};
    dialog.SpinEdit1.SetRange(1, 2);
    dialog.SpinEdit1.SetValue(1);
    dialog.Label1.SetText("2 séries de doublons ont été trouvées.");
    dialog.Label3.SetText("Avant d'effacer un fichier, assurez-vous que toutes les");
    dialog.Label4.SetText("applications qui l'utilisent sauront retrouver son doublon,");
    dialog.Label5.SetText("dans un répertoire ou sous un nom différent.");
    dialog.Liste.SetSelected(0, true);
    dialog.Liste.SetSelected(2, true);
    dialog.btnSupprimer.SetEnabled(true);
  });
}

// The backup dialog with a system library selected, saved once in an older
// version: the copy's side as the index would give it, every indicator lit.
bool ShootBackupDialog(const std::string& path) {
  // The ZIP libraries lie beside the program, in bin/.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string bin = self;
  bin = bin.substr(0, bin.find_last_of('\\')) + "\\..\\bin";
  SetDllDirectoryA(bin.c_str());
  CreateDirectoryA("C:\\Sauvegarde", nullptr);
  settings::Write(settings::Text::SecDir, "C:\\Sauvegarde\\");
  TSecurite dialog(nullptr);
  return Shoot(dialog, path, [&] { dialog.Show(); }, dialog.Fichier1.Handle(), [&] {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    dialog.ChooseSourceDirectory(system);
    dialog.Filtre1.Select(1);
    dialog.Filtre1Change();
    for (int i = 0; i < dialog.Fichier1.Count(); ++i)
      if (_stricmp(dialog.Fichier1.Item(i).c_str(), "comctl32.dll") == 0) dialog.Fichier1.Select(i);
    dialog.Fichier1Click();
    dialog.Fichier2.Add("PVLN0001.ZIP");
    dialog.Fichier2.Select(0);
    dialog.ListBox1.Select(dialog.ListBox1.Add("COMCTL32.DLL"));
    dialog.Label9.SetText("archivé dans ");
    dialog.Label10.SetText("PVLN0001.ZIP");
    dialog.Version2.SetText("4.70.0.1155");
    dialog.Langue2.SetText(dialog.Langue1.Text());
    dialog.Date2.SetText("24/08/1996 12:00:00 ");
    dialog.Taille2.SetText("591632 octets");
    TLED* lit[8] = {&dialog.LEDV1, &dialog.LEDL1, &dialog.LEDD1, &dialog.LEDT1,
                    &dialog.LEDV2, &dialog.LEDL2, &dialog.LEDD2, &dialog.LEDT2};
    const TLEDColor colours[8] = {lcGreen, lcGreen, lcGreen, lcGreen, lcRed, lcGreen, lcRed, lcRed};
    for (int i = 0; i < 8; ++i) {
      lit[i]->SetLEDColor(colours[i]);
      lit[i]->SetLEDOn(true);
    }
  });
}

// The question of a message box answered on another thread once it has
// been captured.
bool ShootMessageBox(const std::string& path) {
  const char* title = "Information";
  bool shot = false;
  std::thread camera([&] {
    HWND box = nullptr;
    for (int i = 0; i < 250 && !box; ++i) {
      Sleep(20);
      HWND w = FindWindowA("#32770", title);
      DWORD pid = 0;
      if (w) GetWindowThreadProcessId(w, &pid);
      if (w && pid == GetCurrentProcessId() && IsWindowVisible(w)) box = w;
    }
    if (!box) return;
    Sleep(PaintMilliseconds);
    ReportCutTexts(box);
    shot = CaptureWindow(box, path);
    PostMessageA(box, WM_COMMAND, IDNO, 0);
  });
  ShowMessageBox("Si vous avez terminé l'installation de Mon Jeu, souhaitez-vous que Pivalune "
                 "reprenne l'analyse là où elle s'est interrompue?",
                 MessageKind::Information, MessageButtons::YesNo);
  camera.join();
  return shot;
}

// A notification as the control would send it to its window.
void Notify(const Control& control, WORD code) {
  SendMessageA(GetParent(control.Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control.Handle()), code),
               reinterpret_cast<LPARAM>(control.Handle()));
}

// One page of the install wizard, with what a user has chosen by then; no
// page records or starts anything (the recording runs only after page A).
bool ShootInstallWizard(char page, const std::string& path) {
  TChoisir chooser(nullptr);
  TRapport viewer(nullptr, chooser);
  TAttention warning(nullptr);
  TAssInst wizard(nullptr, viewer, warning);
  wizard.Current = page;
  return Shoot(wizard, path, [&] { wizard.Show(); }, wizard.BtnSuivant.Handle(), [&] {
    switch (page) {
      case 'A':
        wizard.ChooseDirectory("C:\\windows\\");
        wizard.FileListBox.Select(static_cast<int>(
            SendMessageA(wizard.FileListBox.Handle(), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>("notepad.exe"))));
        Notify(wizard.FileListBox, LBN_SELCHANGE);
        break;
      case 'B':
        wizard.Nom.SetText("Mon Jeu");
        wizard.Installation.SetChecked(true);
        break;
      case 'D':  // as while the recording runs
        for (const Button* b : {&wizard.BtnPrecedent, &wizard.BtnSuivant, &wizard.BtnAnnuler}) b->SetEnabled(false);
        break;
      default:
        break;
    }
  });
}

bool ShootWindow(const std::string& name, const std::string& path) {
  if (name == "TSplash") {
    TSplash splash;
    return Shoot(splash, path, [&] { splash.Show(); });
  }
  if (name == "TPrincipal") {
    // The commands whose windows exist are enabled.
    TPrincipalCommands commands;
    commands.configuration = commands.messages = commands.report = [](TForm*) {};
    TPrincipal main(commands);
    SetApplicationMainWindow(main.Handle());
    return Shoot(main, path, [&] { main.Show(); }, main.btnNettoyer.Handle());
  }
  if (name == "TConfiguration") {
    TConfiguration dialog(nullptr);
    return Shoot(dialog, path, [&] { dialog.Show(); }, dialog.editExclure.Handle());
  }
  if (name == "TAvertissement") {
    TAvertissement dialog(nullptr);
    return Shoot(dialog, path, [&] { dialog.Show(); }, dialog.toujours.Handle());
  }
  if (name == "TChoisir") {
    TChoisir chooser(nullptr);
    return Shoot(chooser, path, [&] { chooser.Show(); }, chooser.btnAnnuler.Handle(),
                 [&] { chooser.Liste.Select(1); });
  }
  if (name == "TRapport") {
    TChoisir chooser(nullptr);
    TRapport viewer(nullptr, chooser);
    return Shoot(viewer, path, [&] { viewer.Show(); }, viewer.btnCompacter.Handle());
  }
  if (name == "TAutresApps") {
    // Filled by hand: the prefix runs no other application. The list is
    // made again after three seconds, long after the picture.
    TAutresApps dialog(nullptr);
    return Shoot(dialog, path, [&] {
      for (const char* title : {"Sans titre - Bloc-notes", "Microsoft Word - Lettre à Hélène.doc",
                                "Calculatrice"})
        dialog.ListBox1.Add(title);
      dialog.Show();
    });
  }
  if (name == "TReStart") {
    // The texts shown while Windows restarts are checked too.
    TReStart prompt(nullptr);
    return Shoot(prompt, path, [&] { prompt.Show(); }, nullptr, [&] {
      const std::string first = prompt.Label1.Text(), second = prompt.Label2.Text();
      prompt.Label1.SetText(" Veuillez patienter quelques instants.");
      prompt.Label2.SetText(" Pivalune referme toutes les applications avant de faire redémarrer l'ordinateur.");
      ReportCutTexts(prompt.Handle());
      prompt.Label1.SetText(first);
      prompt.Label2.SetText(second);
    });
  }
  if (name == "TAttention") {
    TAttention warning(nullptr);
    warning.SetLines({"C:\\WINDOWS\\SYSTEM\\MFC42.DLL      995 328 11/06/1997 00:00",
                      "C:\\WINDOWS\\SYSTEM\\COMCTL32.DLL    591 632 24/08/1996 12:00",
                      "C:\\WINDOWS\\SYSTEM\\OLEAUT32.DLL    598 288 14/05/1997 09:30"});
    return Shoot(warning, path, [&] { warning.Show(); });
  }
  if (name == "TWaitWindow") {
    TWaitWindow wait(nullptr);
    return Shoot(wait, path, [&] { wait.Show("Recherche des fichiers partagés (DLL,...)"); });
  }
  if (name.starts_with("TAssEnreg-") && name.size() == 11) return ShootRecordWizard(name.back(), path);
  if (name == "TTransferer") return ShootArchiveDialog(path);
  if (name == "TNettoyage") {
    TNettoyage dialog(nullptr);
    return Shoot(dialog, path, [&] { dialog.Show(); }, dialog.Masque.Handle(),
                 [&] { dialog.Masque.SetText("*.$$$"); });
  }
  if (name == "TDoublons") return ShootDuplicateFinder(path);
  if (name == "TSecurite") return ShootBackupDialog(path);
  if (name.starts_with("TAssCompare-") && name.size() == 13) return ShootCompareWizard(name.back(), path);
  if (name.starts_with("TAssRestaure-") && name.size() == 14) return ShootRestoreWizard(name.back(), path);
  if (name.starts_with("TAssDesinst-") && name.size() == 13) return ShootUninstallWizard(name.back(), path);
  if (name.starts_with("TAssInst-") && name.size() == 10) return ShootInstallWizard(name.back(), path);
  if (name == "ShowMessageBox") return ShootMessageBox(path);
  std::fprintf(stderr, "pv_screenshots: no window %s\n", name.c_str());
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 3 && __argc != 4) {
    std::fprintf(stderr, "usage: pv_screenshots <window> <file.png> [<cut-texts.txt>]\n");
    return 2;
  }
  const std::string name = __argv[1], path = __argv[2];
  WindowName = name;
  if (__argc == 4) CutReportPath = __argv[3];
  if (!CreateApplicationWindow()) {
    std::fprintf(stderr, "pv_screenshots: no display\n");
    return 1;
  }
  PrepareProgram();
  bool ok = ShootWindow(name, path);
  DestroyApplicationWindow();
  if (!ok) std::fprintf(stderr, "pv_screenshots: no picture of %s\n", name.c_str());
  return ok ? 0 : 1;
}
