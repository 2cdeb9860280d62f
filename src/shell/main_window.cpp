#include "shell/main_window.h"

#include <windows.h>

#include "shell/program_state.h"
#include "ui/messages.h"

namespace {

// The columns stand wide enough apart for the longest hint to fit in the
// status bar below them at the default fonts.
constexpr int ButtonWidth = 78, ButtonHeight = 46, ColumnGap = 20, RowGap = 8, BarHeight = 22;
constexpr int HelpContextMain = 150;

enum MenuId {
  MenuInstaller = 1, MenuDesinstaller, MenuEnregistrer, MenuComparer, MenuRestaurer,
  MenuSauvegarder, MenuDoublons, MenuNettoyer, MenuQuitter,
  MenuConfiguration, MenuMessages, MenuArchivage, MenuRapport, MenuAide, MenuAPropos,
};

int CountFiles(const char* pattern) {
  int n = 0;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((Program.ProgramDirectory + pattern).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  while (FindNextFileA(h, &found));
  FindClose(h);
  return n;
}

void Item(HMENU menu, int id, const char* text, bool enabled) {
  AppendMenuA(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, text);
}

}  // namespace

int ArchiveClutterCount() { return 5 * CountFiles("*.000") + CountFiles("*.pv?"); }

bool ArchiveReminderDue() {
  int c = ArchiveClutterCount();
  if (!(c > 20 || (c > 10 && Program.ConfirmLevel > 1))) return false;
  return ShowMessageBox("N'encombrez pas votre disque dur; archivez régulièrement les fichiers de "
                        "travail de Pivalune, ou effacez-les s'ils ne sont plus utiles. Souhaitez-vous "
                        "le faire maintenant?",
                        MessageKind::Warning, MessageButtons::YesNo) == IDYES;
}

TPrincipal::TPrincipal(TPrincipalCommands commands) : commands_(std::move(commands)) {
  const int width = 4 * ButtonWidth + 5 * ColumnGap;
  const int height = 3 * ButtonHeight + 4 * RowGap + BarHeight;
  if (!CreateForm(nullptr, Title, width, height, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_APPWINDOW))
    return;
  HelpContext = HelpContextMain;
  auto x = [](int column) { return ColumnGap + column * (ButtonWidth + ColumnGap); };
  auto y = [](int row) { return RowGap + row * (ButtonHeight + RowGap); };
  auto button = [&](const char* text, Picture picture, int column, int row, const char* hint,
                    Handler click) {
    Button b = AddPictureButton(text, picture, x(column), y(row), ButtonWidth, ButtonHeight,
                                std::move(click), hint);
    return b;
  };
  auto open = [this](const std::function<void(TForm*)>& window) {
    return window ? Handler([this, window] { window(this); }) : Handler();
  };
  btnInstaller = button("Installer", Picture::Installer, 0, 0,
                        " contrôle l'installation ou le lancement d'une application",
                        open(commands_.install));
  btnEnregistrer = button("Enregistrer", Picture::Enregistrer, 1, 0,
                          " enregistre l'état actuel des disques", open(commands_.record));
  btnConfiguration = button("Configurer", Picture::Configurer, 2, 0,
                            " permet de sélectionner les fichiers à surveiller",
                            open(commands_.configuration));
  BitBtn1 = button("Optimiser", Picture::Optimiser, 3, 0,
                   " recherche les fichiers en double sur les disques durs", open(commands_.duplicates));
  btnDesinstaller = button("Désinstaller", Picture::Desinstaller, 0, 1,
                           " supprime une application installée", open(commands_.uninstall));
  btnComparer = button("Comparer", Picture::Comparer, 1, 1,
                       " compare l'état des disques à un état enregistré auparavant", open(commands_.compare));
  btnRapport = button("Voir un rapport", Picture::Rapport, 2, 1,
                      " montre le compte-rendu d'une opération", open(commands_.report));
  btnNettoyer = button("Nettoyer", Picture::Nettoyer, 3, 1,
                       " supprime les fichiers temporaires laissés par certaines applications",
                       open(commands_.cleaner));
  btnSecurite = button("Sauvegarder", Picture::Sauvegarder, 0, 2,
                       " sauvegarde ou restaure la dernière version des fichiers-système", open(commands_.backup));
  btnRestaurer = button("Restaurer", Picture::Restaurer, 1, 2,
                        " restaure un état des disques enregistré auparavant", open(commands_.restore));
  btnArchivage = button("Archiver", Picture::Archiver, 2, 2,
                        " permet d'archiver ou d'effacer les rapports de Pivalune",
                        open(commands_.archive));
  btnQuitter = button("Quitter", Picture::Quitter, 3, 2, " termine cette session de Pivalune",
                      [this] { btnQuitterClick(); });
  // A command without its window (in tests) is shown disabled.
  btnSecurite.SetEnabled(static_cast<bool>(commands_.backup));
  BitBtn1.SetEnabled(static_cast<bool>(commands_.duplicates));
  btnNettoyer.SetEnabled(static_cast<bool>(commands_.cleaner));
  btnInstaller.SetEnabled(static_cast<bool>(commands_.install));
  btnDesinstaller.SetEnabled(static_cast<bool>(commands_.uninstall));
  btnEnregistrer.SetEnabled(static_cast<bool>(commands_.record));
  btnComparer.SetEnabled(static_cast<bool>(commands_.compare));
  btnRestaurer.SetEnabled(static_cast<bool>(commands_.restore));
  btnConfiguration.SetEnabled(static_cast<bool>(commands_.configuration));
  btnRapport.SetEnabled(static_cast<bool>(commands_.report));
  btnArchivage.SetEnabled(static_cast<bool>(commands_.archive));
  barredEtat = AddHintBar(BarHeight);
  BuildMenu();
}

void TPrincipal::BuildMenu() {
  HMENU fonctions = CreatePopupMenu();
  Item(fonctions, MenuInstaller, "&Installer ou lancer...", static_cast<bool>(commands_.install));
  Item(fonctions, MenuDesinstaller, "&Désinstaller ou nettoyer...", static_cast<bool>(commands_.uninstall));
  AppendMenuA(fonctions, MF_SEPARATOR, 0, nullptr);
  Item(fonctions, MenuEnregistrer, "&Enregistrer l'état des disques...", static_cast<bool>(commands_.record));
  Item(fonctions, MenuComparer, "&Comparer à un état enregistré...", static_cast<bool>(commands_.compare));
  Item(fonctions, MenuRestaurer, "&Restaurer un état enregistré...", static_cast<bool>(commands_.restore));
  AppendMenuA(fonctions, MF_SEPARATOR, 0, nullptr);
  Item(fonctions, MenuSauvegarder, "&Sauvegarder les fichiers-système...", static_cast<bool>(commands_.backup));
  Item(fonctions, MenuDoublons, "Chercher les dou&blons...", static_cast<bool>(commands_.duplicates));
  Item(fonctions, MenuNettoyer, "&Nettoyer les fichiers temporaires...", static_cast<bool>(commands_.cleaner));
  AppendMenuA(fonctions, MF_SEPARATOR, 0, nullptr);
  Item(fonctions, MenuQuitter, "&Quitter", true);

  HMENU organisation = CreatePopupMenu();
  Item(organisation, MenuConfiguration, "&Configuration...", static_cast<bool>(commands_.configuration));
  Item(organisation, MenuMessages, "&Messages...", static_cast<bool>(commands_.messages));
  AppendMenuA(organisation, MF_SEPARATOR, 0, nullptr);
  Item(organisation, MenuArchivage, "&Archivage...", static_cast<bool>(commands_.archive));

  HMENU informations = CreatePopupMenu();
  Item(informations, MenuRapport, "&Rapport...", static_cast<bool>(commands_.report));
  AppendMenuA(informations, MF_SEPARATOR, 0, nullptr);
  Item(informations, MenuAide, "&Aide", true);
  AppendMenuA(informations, MF_SEPARATOR, 0, nullptr);
  Item(informations, MenuAPropos, "A &propos...", static_cast<bool>(commands_.about));

  menu_ = CreateMenu();
  AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(fonctions), "&Fonctions");
  AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(organisation), "&Organisation");
  AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(informations), "&Informations");
  SetMenuBar(menu_);

  OnMenu(MenuQuitter, [this] { btnQuitterClick(); });
  OnMenu(MenuInstaller, [this] { MenuInstallerClick(); });
  OnMenu(MenuDesinstaller, [this] { MenuDesinstallerClick(); });
  OnMenu(MenuEnregistrer, [this] { MenuEnregistrerClick(); });
  OnMenu(MenuComparer, [this] { MenuComparerClick(); });
  OnMenu(MenuRestaurer, [this] { MenuRestaurerClick(); });
  OnMenu(MenuDoublons, [this] { MenuDoublonsClick(); });
  OnMenu(MenuSauvegarder, [this] { MenuSauvegarderClick(); });
  OnMenu(MenuNettoyer, [this] { MenuNettoyerClick(); });
  OnMenu(MenuConfiguration, [this] { MenuConfigurationClick(); });
  OnMenu(MenuMessages, [this] { MenuMessagesClick(); });
  OnMenu(MenuArchivage, [this] { MenuArchivageClick(); });
  OnMenu(MenuRapport, [this] { MenuRapportClick(); });
  OnMenu(MenuAide, [this] { MenuAideClick(); });
  OnMenu(MenuAPropos, [this] { MenuAProposClick(); });
}

void TPrincipal::MenuInstallerClick() { if (commands_.install) commands_.install(this); }
void TPrincipal::MenuDesinstallerClick() { if (commands_.uninstall) commands_.uninstall(this); }
void TPrincipal::MenuEnregistrerClick() { if (commands_.record) commands_.record(this); }
void TPrincipal::MenuComparerClick() { if (commands_.compare) commands_.compare(this); }
void TPrincipal::MenuRestaurerClick() { if (commands_.restore) commands_.restore(this); }
void TPrincipal::MenuDoublonsClick() { if (commands_.duplicates) commands_.duplicates(this); }
void TPrincipal::MenuSauvegarderClick() { if (commands_.backup) commands_.backup(this); }
void TPrincipal::MenuNettoyerClick() { if (commands_.cleaner) commands_.cleaner(this); }
void TPrincipal::MenuConfigurationClick() { if (commands_.configuration) commands_.configuration(this); }
void TPrincipal::MenuMessagesClick() { if (commands_.messages) commands_.messages(this); }
void TPrincipal::MenuRapportClick() { if (commands_.report) commands_.report(this); }
void TPrincipal::MenuArchivageClick() { if (commands_.archive) commands_.archive(this); }
void TPrincipal::MenuAideClick() { ShowHelp(Handle(), HelpContext); }
void TPrincipal::MenuAProposClick() { if (commands_.about) commands_.about(this); }
void TPrincipal::btnQuitterClick() { PostMessageA(Handle(), WM_CLOSE, 0, 0); }

void TPrincipal::FormActivate() {
  EnableMenuItem(menu_, MenuAide, MF_BYCOMMAND | (Program.HelpAvailable ? MF_ENABLED : MF_GRAYED));
  if (ArchiveReminderDue() && commands_.archive) commands_.archive(this);
}

bool TPrincipal::FormCloseQuery() {
  barredEtat.SetText("");
  return Program.ConfirmLevel < 3 ||
         ShowMessageBox("Voulez-vous quitter Pivalune?", MessageKind::Confirmation,
                        MessageButtons::OkCancel) == IDOK;
}

// The main window is hidden for good by now: the archive dialog is shown
// on its own, not in its place.
void TPrincipal::FormDestroyQuery() {
  if (ArchiveReminderDue() && commands_.archive) commands_.archive(nullptr);
}

bool TPrincipal::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_ACTIVATE:
      // Coming back from one of the program's own message boxes (the
      // reminder itself, the quit question) is not a new activation: the
      // reminder would otherwise ask again at once.
      if (LOWORD(wParam) != WA_INACTIVE && ReturningFromMessageBox()) {
        result = DefWindowProcA(Handle(), message, wParam, lParam);
        return true;
      }
      return false;
    case WM_CLOSE:
      if (!closing_ && FormCloseQuery()) {
        closing_ = true;
        Hide();
        FormDestroyQuery();
        PostQuitMessage(0);
      }
      result = 0;
      return true;
  }
  return false;
}
