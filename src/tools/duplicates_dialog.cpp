#include "tools/duplicates_dialog.h"

#include <windows.h>

#include <algorithm>

#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "tools/duplicates.h"
#include "ui/messages.h"
#include "ui/wizard.h"

namespace {

constexpr int Width = 600, Height = 393, BarHeight = 22, ButtonWidth = 104, ButtonHeight = 25;

void Centre(const Label& label) {
  SetWindowLongPtrA(label.Handle(), GWL_STYLE,
                    (GetWindowLongPtrA(label.Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | SS_CENTER);
}

std::string CountText(size_t n, const char* none, const char* one, const std::string& many) {
  return n == 0 ? none : n == 1 ? one : std::to_string(n) + many;
}

// The path of a line of the list: the text before its tab.
std::string LinePath(const std::string& line) { return line.substr(0, line.find('\t')); }

bool FoldedLess(const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; }

}  // namespace

TDoublons::TDoublons(HWND owner) {
  if (!CreateForm(owner, Title, Width, Height, WS_CAPTION | WS_SYSMENU)) return;
  HelpContext = HelpContextDuplicates;
  Label3 = AddLabel("", 8, 8, Width - 16, 16);
  Label4 = AddLabel("", 8, 24, Width - 16, 16);
  Label5 = AddLabel("", 8, 40, Width - 16, 16);
  for (const Label* l : {&Label3, &Label4, &Label5}) Centre(*l);
  CB1 = AddCheckBox("Comparer seulement les fichiers portant le même nom", 8, 64, 400, 20,
                    " seuls les fichiers de même nom et de même taille sont comparés");
  CB1.SetChecked(true);
  LabelSerie = AddLabel("Série n°", 436, 67, 60, 18);
  SpinEdit1 = AddSpinEdit(496, 64, 76, 22, " choisissez la série de doublons à montrer", [this] { SpinEdit1Change(); });
  // Tabs expand to the stops; the list scrolls sideways over its width.
  Liste = TTabListBox(AddListBox(8, 92, Width - 16, 200, true, true, " sélectionnez les fichiers à effacer", nullptr,
                                 WS_HSCROLL | LBS_USETABSTOPS),
                      ListWidth);
  listFont_ = CreateReportFont();
  SetFont(Liste, listFont_);
  SendMessageA(Liste.Handle(), LB_SETHORIZONTALEXTENT, ListWidth, 0);
  Liste.SetTabPercentages("29, 34, 39, 44");
  OnNotify(Liste, LBN_SELCHANGE, [this] { ListeClick(); });
  Label1 = AddLabel("", 8, 298, Width - 16, 32);
  Centre(Label1);

  const int top = 336, gap = (Width - 5 * ButtonWidth) / 6;
  auto x = [&](int i) { return gap + i * (ButtonWidth + gap); };
  BitBtn2 = AddButton("&Chercher", x(0), top, ButtonWidth, ButtonHeight, [this] { BitBtn2Click(); },
                      " cherche les fichiers en double sur les disques", true);
  btnSupprimer = AddButton("&Supprimer", x(1), top, ButtonWidth, ButtonHeight, [this] { btnSupprimerClick(); },
                           " efface les fichiers sélectionnés");
  btnSupprimer.SetEnabled(false);
  BitBtn3 = AddButton("Con&figurer", x(2), top, ButtonWidth, ButtonHeight, [this] { BitBtn3Click(); },
                      " permet de choisir les disques à analyser");
  BitBtn4 = AddButton("Aide", x(3), top, ButtonWidth, ButtonHeight, [this] { BitBtn4Click(); }, HintHelp);
  BitBtn1 = AddButton("Fermer", x(4), top, ButtonWidth, ButtonHeight, [this] { BitBtn1Click(); },
                      " referme cette fenêtre");
  BarredEtat = AddHintBar(BarHeight);
}

TDoublons::~TDoublons() {
  if (listFont_) DeleteObject(listFont_);
}

void TDoublons::SetExplanation(const char* first, const char* second, const char* third) {
  Label3.SetText(first);
  Label4.SetText(second);
  Label5.SetText(third);
}

void TDoublons::FormActivate() {
  // Coming back from a message box or the help viewer is no new opening;
  // coming back from the configuration dialog is.
  if (!ActivationIsNewOpening()) return;
  BitBtn4.SetEnabled(Program.HelpAvailable);
  Liste.Clear();
  SpinEdit1.SetRange(0, 0);
  SpinEdit1.SetValue(0);
  Label1.SetText("");
  SetExplanation("En cliquant sur le bouton \"Chercher\", les disques et répertoires définis",
                 "dans la Configuration seront analysés pour trouver les fichiers dupliqués.",
                 "La recherche peut durer plusieurs minutes.");
  btnSupprimer.SetEnabled(false);
}

// ---- the search ------------------------------------------------------------------------

void TDoublons::BitBtn2Click() {
  BarredEtat.SetText("");
  Liste.Clear();
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HourGlass busy;
  SameNameOnly = CB1.Checked();
  std::vector<std::string> series, unreadable;
  try {
    FindDuplicateSeries(series, &unreadable);
  } catch (const IoError& e) {
    ShowDiskError(e.code);
    return;
  }
  Series = std::move(series);
  Unreadable = std::move(unreadable);
  const int shown = SpinEdit1.Value();
  const int minimum = Series.empty() ? 0 : 1;
  SpinEdit1.SetRange(minimum, static_cast<int>(Series.size()));
  SpinEdit1.SetValue(minimum);
  // The first series is shown even when the number already read 1.
  if (minimum > 0 && SpinEdit1.Value() == shown) ShowSeries(0);
  std::string result = CountText(Series.size(), "Aucune série de doublons n'a été trouvée.",
                                 "Une série de doublons a été trouvée.", " séries de doublons ont été trouvées.");
  // Files that could not be read are copies of nothing: the user is told
  // they were not compared.
  if (!Unreadable.empty())
    result += "\n" + CountText(Unreadable.size(), "", "Un fichier n'a pas pu être lu : il n'a pas été comparé.",
                               " fichiers n'ont pas pu être lus : ils n'ont pas été comparés.");
  Label1.SetText(result);
  SetExplanation("Avant d'effacer un fichier, assurez-vous que toutes les",
                 "applications qui l'utilisent sauront retrouver son doublon,",
                 "dans un répertoire ou sous un nom différent.");
}

void TDoublons::SpinEdit1Change() {
  int value = SpinEdit1.Value();
  value = std::clamp(value, SpinEdit1.Minimum(), std::max(SpinEdit1.Minimum(), SpinEdit1.Maximum()));
  if (value > 0 && static_cast<size_t>(value) <= Series.size()) ShowSeries(value - 1);
  btnSupprimer.SetEnabled(false);
}

void TDoublons::ShowSeries(int n) {
  Liste.Clear();
  for (const std::string& part : SeriesParts(Series[static_cast<size_t>(n)])) Liste.Add(SeriesListLine(part));
}

void TDoublons::ListeClick() { btnSupprimer.SetEnabled(Liste.SelectedCount() > 0); }

// ---- deleting ----------------------------------------------------------------------------

// A file goes only while another file of its series is still there with
// the same bytes: the series of the search may be old, and a file never
// loses its last copy.
bool TDoublons::MayDelete(const std::string& path, const std::vector<std::string>& paths) {
  for (const std::string& other : paths)
    if (CompareFileNames(other, path) != 0 && SameFileContents(path, other)) return true;
  ShowMessageBox(path + " n'a plus de doublon identique : il n'est pas effacé.", MessageKind::Warning,
                 MessageButtons::Ok);
  return false;
}

bool TDoublons::DeleteCopy(const std::string& path) {
  if (!(Program.UseRecycleBin && RecycleFile(path)) &&
      ShowMessageBox("Etes-vous sûr de vouloir effacer " + path + " ?", MessageKind::Confirmation,
                     MessageButtons::YesNo) == IDYES)
    DeleteFileForced(path);
  return !FileExists(path);
}

void TDoublons::btnSupprimerClick() {
  BarredEtat.SetText("");
  const int value = SpinEdit1.Value();
  if (value < 1 || static_cast<size_t>(value) > Series.size()) return;
  std::vector<std::string> parts = SeriesParts(Series[static_cast<size_t>(value - 1)]);
  Series.erase(Series.begin() + (value - 1));
  for (int i = Liste.Count() - 1; i >= 0; --i) {
    if (!Liste.IsSelected(i)) continue;
    const std::string path = LinePath(Liste.Item(i));
    std::vector<std::string> paths;
    for (int j = 0; j < Liste.Count(); ++j) paths.push_back(LinePath(Liste.Item(j)));
    if (!MayDelete(path, paths) || !DeleteCopy(path)) continue;
    SendMessageA(Liste.Handle(), LB_DELETESTRING, i, 0);
    parts.erase(std::remove_if(parts.begin(), parts.end(),
                               [&](const std::string& part) { return CompareFileNames(PartPath(part), path) == 0; }),
                parts.end());
  }
  if (Liste.Count() >= 2) {
    const std::string series = JoinSeries(parts);
    Series.insert(std::upper_bound(Series.begin(), Series.end(), series, FoldedLess), series);
  } else if (Series.empty()) {
    Liste.Clear();
    SpinEdit1.SetRange(0, 0);
    SpinEdit1.SetValue(0);
  } else {
    // The series is finished: the one before it is shown, or the first.
    SpinEdit1.SetRange(1, static_cast<int>(Series.size()));
    SpinEdit1.SetValue(value - 1);
    if (value == 1) ShowSeries(0);
  }
  btnSupprimer.SetEnabled(false);
  Label1.SetText(Series.empty()       ? "Il ne reste aucune série de doublons."
                 : Series.size() == 1 ? "Il reste une série de doublons."
                                      : "Il reste " + std::to_string(Series.size()) + " séries de doublons.");
}

void TDoublons::BitBtn3Click() {
  BarredEtat.SetText("");
  TWizard::OpenConfigurationDialog(this);
}

void TDoublons::BitBtn4Click() {
  BarredEtat.SetText("");
  ShowHelp(Handle(), HelpContext);
}
