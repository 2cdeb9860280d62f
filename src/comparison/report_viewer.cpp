#include "comparison/report_viewer.h"

#include "comparison/report_compaction.h"
#include "services/files.h"
#include "services/io_error.h"
#include "services/text_file.h"
#include "shell/program_state.h"
#include "shell/report_chooser.h"
#include "shell/settings.h"
#include "ui/messages.h"
#include "ui/printing.h"
#include "undo/registry_restore.h"
#include "undo/registry_scripts.h"

namespace {

constexpr int Margin = 6, Gap = 6, ButtonWidth = 72, ButtonHeight = 25, BarHeight = 22;
constexpr int InitialWidth = 624, InitialHeight = 400;  // client area

constexpr const char* SaveCurrentQuestion = "Voulez-vous enregistrer les modifications du rapport actuel ?";
constexpr const char* SaveQuestion = "Etes-vous sûr de vouloir enregistrer les modifications du rapport ?";

std::string ReadWholeTextFile(const std::string& name) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw IoError(static_cast<int>(GetLastError()), "cannot open " + name);
  std::string text;
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
      int code = static_cast<int>(GetLastError());
      CloseHandle(h);
      throw IoError(code, "cannot read " + name);
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  CloseHandle(h);
  return text;
}

bool Confirmed(const char* question) {
  return ShowMessageBox(question, MessageKind::Confirmation, MessageButtons::YesNo) == IDYES;
}

}  // namespace

TRapport::TRapport(HWND owner, TChoisir& chooser) : chooser_(chooser) {
  if (!CreateForm(owner, Title, InitialWidth, InitialHeight,
                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME))
    return;
  HelpContext = HelpContextViewer;
  SetMinimumSize(MinimumWidth, MinimumHeight);
  memoFont_ = CreateReportFont();

  Memo = AddMemo(0, 0, 10, 10, false);
  SetFont(Memo, memoFont_);
  auto button = [&](const char* text, Handler click, const char* hint) {
    return AddButton(text, 0, 0, ButtonWidth, ButtonHeight, std::move(click), hint);
  };
  btnOuvrir = button("&Ouvrir", [this] { btnOuvrirClick(); }, " permet d'ouvrir un autre rapport");
  btnImprimer = button("&Imprimer", [this] { btnImprimerClick(); }, " imprime le rapport");
  btnEnregistrer = button("&Enregistrer", [this] { btnEnregistrerClick(); },
                          " enregistre le rapport modifié");
  btnCompacter = button("Compacter", [this] { btnCompacterClick(); },
                        " supprime du rapport les fichiers non modifiés");
  btnRegistre = button("&Registre", [this] { btnRegistreClick(); },
                       " écrit les scripts qui annulent ou refont les modifications du registre");
  btnFermer = button("&Fermer", [this] { btnFermerClick(); }, " referme cette fenêtre");
  btnAide = button("Aide", [this] { btnAideClick(); }, HintHelp);
  BarreDEtat = AddHintBar(BarHeight);
  FormResize();
}

TRapport::~TRapport() {
  if (memoFont_) DeleteObject(memoFont_);
}

// Coming back from the chooser shows the window again, but it is not a new
// opening: the chosen report, not Last, is what the viewer then shows.
void TRapport::FormShow() {
  if (!inChooser_) openingPending_ = true;
}

void TRapport::FormActivate() {
  if (!openingPending_) return;
  openingPending_ = false;
  btnAide.SetEnabled(Program.HelpAvailable);
  Memo.SetText("");
  CurrentReport = settings::Read(settings::Text::Last);
  if (FileExists(CurrentReport)) {
    try {
      LoadReport(CurrentReport);
    } catch (const IoError& e) {
      ShowDiskError(e.code);
    }
  }
  Memo.SetModified(false);
}

void TRapport::FormResize() {
  RECT client;
  GetClientRect(Handle(), &client);
  const int width = client.right, height = client.bottom;
  const int buttonsY = height - BarHeight - Margin - ButtonHeight;
  Memo.Move(Margin, Margin, width - 2 * Margin, buttonsY - 2 * Margin);
  int x = Margin;
  for (const Button* b : {&btnOuvrir, &btnImprimer, &btnEnregistrer, &btnCompacter, &btnRegistre,
                          &btnFermer, &btnAide}) {
    b->Move(x, buttonsY, ButtonWidth, ButtonHeight);
    x += ButtonWidth + Gap;
  }
  BarreDEtat.Move(0, height - BarHeight, width, BarHeight);
}

void TRapport::LoadReport(const std::string& name) {
  HourGlass busy;
  // Lines are kept as they are; only their ends become the CRLF the text
  // box needs to break them.
  const std::string text = JoinTextLines(SplitTextLines(ReadWholeTextFile(name)));
  const auto limit = static_cast<size_t>(SendMessageA(Memo.Handle(), EM_GETLIMITTEXT, 0, 0));
  bool refused = text.size() > limit;
  if (!refused) {
    refused = !SendMessageA(Memo.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ||
              static_cast<size_t>(GetWindowTextLengthA(Memo.Handle())) != text.size();
  }
  if (refused) {
    Memo.SetText("");
    StartExternalEditor(name);
  }
  Memo.ScrollToTop();
  Memo.SetModified(false);
}

void TRapport::StartExternalEditor(const std::string& name) {
  char windows[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  std::string directory(windows, n < MAX_PATH ? n : 0);
  if (!directory.empty() && directory.back() != '\\') directory += '\\';
  std::string commandLine = directory + "notepad.exe " + name;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                     nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

bool TRapport::SaveReport() {
  HourGlass busy;
  const std::vector<std::string> lines = SplitTextLines(Memo.Text());
  try {
    // A failed deletion does not stop the saving: the file is written anyway.
    DeleteFileForced(CurrentReport);
    CurrentReport = SavedReportName(CurrentReport, lines.empty() ? std::string() : lines.front());
    TextFileWriter out(CurrentReport);
    for (const std::string& line : lines) out.WriteLine(line);
    out.Close();
  } catch (const IoError& e) {
    ShowDiskError(e.code);
    return false;
  }
  Memo.SetModified(false);
  return true;
}

bool TRapport::OfferToSave() {
  if (!Memo.Modified() || !Confirmed(SaveCurrentQuestion)) return true;
  return SaveReport();
}

void TRapport::btnOuvrirClick() {
  if (!OfferToSave()) return;
  inChooser_ = true;
  const int result = ShowDialogInstead(this, chooser_);
  inChooser_ = false;
  if (result != mrOk) return;
  CurrentReport = chooser_.ChosenReport;
  try {
    LoadReport(CurrentReport);
  } catch (const IoError& e) {
    ShowDiskError(e.code);
  }
}

void TRapport::btnEnregistrerClick() {
  if (Memo.Modified() && Confirmed(SaveQuestion)) SaveReport();
}

void TRapport::btnCompacterClick() {
  HourGlass busy;
  std::vector<std::string> lines = SplitTextLines(Memo.Text());
  const bool wasModified = Memo.Modified();
  if (CompactReportLines(lines)) {
    Memo.SetText(JoinTextLines(lines));
    Memo.SetModified(true);
  } else {
    Memo.SetModified(wasModified);
  }
  Memo.ScrollToTop();
}

// The registry scripts of the report shown, as on the command line (/REG):
// beside the report, named after it.
void TRapport::btnRegistreClick() {
  if (CurrentReport.empty() || !FileExists(CurrentReport)) return;
  HourGlass busy;
  if (WriteRegistryScriptsOfReport(CurrentReport))
    ShowMessageBox("Les scripts " + UndoScriptNameOf(CurrentReport) + " (annuler) et " +
                       RedoScriptNameOf(CurrentReport) +
                       " (refaire) ont été écrits à côté du rapport.",
                   MessageKind::Information, MessageButtons::Ok);
  else
    ShowMessageBox("Ce rapport n'a pas de modifications du registre qui puissent être écrites.",
                   MessageKind::Warning, MessageButtons::Ok);
}

void TRapport::btnImprimerClick() {
  PrintLines(Handle(), memoFont_, SplitTextLines(Memo.Text()), CurrentReport.empty() ? Title : CurrentReport);
}

bool TRapport::FormCloseQuery() { return OfferToSave(); }

void TRapport::btnFermerClick() {
  if (OfferToSave()) Close(mrOk);
}

void TRapport::btnAideClick() { ShowHelp(Handle(), HelpContext); }
