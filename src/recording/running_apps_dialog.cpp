#include "recording/running_apps_dialog.h"

#include <algorithm>

#include "recording/record_state.h"
#include "services/processes.h"
#include "ui/messages.h"

namespace {

constexpr UINT_PTR Timer1 = 1;
constexpr UINT RefreshMilliseconds = 3000;
TAutresApps* Dialog = nullptr;

void CheckRunningApplications(void* caller) {
  if (!Dialog || !Dialog->Created()) return;
  Dialog->Prepare();
  if (Dialog->ListBox1.Count() > 0) ShowDialogInstead(static_cast<TForm*>(caller), *Dialog);
}

}  // namespace

TAutresApps::TAutresApps(HWND owner) {
  if (!CreateForm(owner, "Pivalune 98 - Applications en cours", 360, 250)) return;
  HelpContext = 14;
  Label1 = AddLabel("Les applications suivantes sont en cours d'exécution :", 12, 10, 336, 16);
  ListBox1 = AddListBox(12, 30, 336, 120, false, false);
  Label2 = AddLabel("Avant de continuer, vous devez refermer toutes", 12, 160, 336, 16);
  Label3 = AddLabel("celles qui risquent d'écrire sur le disque dur.", 12, 178, 336, 16);
  Continuer = AddButton("Continuer", 140, 208, 80, 25, [this] { ContinuerClick(); }, "", true);
}

std::vector<std::string> TAutresApps::RunningApplicationTitles() {
  std::vector<WindowListEntry> windows;
  ListTopLevelWindows(windows);
  std::vector<std::string> titles;
  for (const auto& w : windows) titles.push_back(w.title);
  for (const char* own : {"Program Manager", "Pivalune", "Aide de Pivalune"}) {
    auto it = std::find(titles.begin(), titles.end(), own);
    if (it != titles.end()) titles.erase(it);
  }
  return titles;
}

void TAutresApps::Prepare() {
  ListBox1.Clear();
  for (const auto& title : RunningApplicationTitles()) ListBox1.Add(title);
  if (ListBox1.Count() == 0) Close(mrOk);
}

void TAutresApps::FormShow() {
  ShowWindow(Handle(), SW_RESTORE);
  StartTimer(Timer1, RefreshMilliseconds, [this] { Timer1Timer(); });
}

bool TAutresApps::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
  if (message == WM_SHOWWINDOW && !wParam) StopTimer(Timer1);  // hiding stops the refresh
  return false;
}

void UseRunningApplicationsDialog(TAutresApps& dialog) {
  Dialog = &dialog;
  SetRunningApplicationsCheck(CheckRunningApplications);
}
