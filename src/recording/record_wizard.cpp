#include "recording/record_wizard.h"

#include <algorithm>
#include <cstdint>

#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "recording/state_transfer.h"
#include "services/files.h"
#include "services/io_error.h"
#include "services/wait_message.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "ui/messages.h"

namespace {

constexpr int Width = 444, Height = 276;
constexpr int Left = Width / 5 + 10;  // the text column, right of the picture

std::string DriveOf(const std::string& directory) {
  return directory.size() >= 2 && directory[1] == ':' ? directory.substr(0, 1) : "C";
}

}  // namespace

std::string FreeSpaceSentence(uint64_t kilobytes, char drive) {
  std::string digits = std::to_string(kilobytes);
  if (digits.size() > 3) digits.insert(digits.size() - 3, " ");
  if (digits.size() > 7) digits.insert(digits.size() - 7, " ");
  return " Il reste " + digits + " Ko libres sur le disque " + std::string(1, drive) + ".";
}

TAssEnreg::TAssEnreg(HWND owner) {
  if (!CreateWizard(owner, Title, Width, Height, 6, 3, HelpContextRecord)) return;
  const std::string hint = " choisissez où conserver les fichiers de l'état enregistré";
  EnregistrerSur = AddGroupBox("Enregistrer sur", Left + 16, 62, 180, 92, hint);
  DisquetteA = AddRadioButton("Disquette A", Left + 28, 82, 160, 20, hint, true);
  DisquetteB = AddRadioButton("Disquette B", Left + 28, 104, 160, 20, hint);
  Disquedur = AddRadioButton("Disque dur", Left + 28, 126, 160, 20, hint);
  DefineStepsOfRecording();
  Current = 'A';
}

void TAssEnreg::ShowStorageChoice(bool on) {
  for (const Control* c : {static_cast<const Control*>(&EnregistrerSur), static_cast<const Control*>(&DisquetteA),
                           static_cast<const Control*>(&DisquetteB), static_cast<const Control*>(&Disquedur)})
    c->SetVisible(on);
}

void TAssEnreg::DefineStepsOfRecording() {
  std::vector<WizardStep> steps;
  WizardStep a = WizardStep::Of('A', {" Pivalune va enregistrer l'état actuel de votre système;",
                            "cela vous permettra de voir plus tard ce qui a été modifié,",
                            "et éventuellement d'annuler ces modifications.", "",
                            " Cliquez sur \"Configuration\" si vous voulez changer",
                            "la liste des éléments à surveiller."});
  a.next = 'B';
  a.previousEnabled = false;
  a.enter = [this] { ShowStorageChoice(false); };
  steps.push_back(a);

  WizardStep b = WizardStep::Of('B', {"", "", "", " Pivalune peut avoir besoin de plus de 2 Mo pour stocker",
                            "ses fichiers temporaires."});
  b.next = 'C';
  b.previous = 'A';
  b.configurationVisible = false;
  b.enter = [this] {
    ShowStorageChoice(false);
    // Information only: no minimum is enforced.
    const std::string drive = DriveOf(Program.ProgramDirectory);
    uint64_t bytes = 0;
    int error = 0;
    FreeBytesOf(drive + ":\\", bytes, error);
    Texte[1].SetText(FreeSpaceSentence(bytes / 1024, drive[0]));
  };
  steps.push_back(b);

  WizardStep c = WizardStep::Of('C', {"", " Où voulez-vous conserver les fichiers créés ?"});
  c.next = 'D';
  c.previous = 'B';
  c.finish = true;
  c.configurationVisible = false;
  c.enter = [this] { ShowStorageChoice(true); };
  steps.push_back(c);

  WizardStep d = WizardStep::Of('D', {"", " Enregistrement en cours."});
  d.previousEnabled = false;
  d.nextEnabled = false;
  d.configurationVisible = false;
  d.cancelVisible = false;
  d.finish = true;
  d.enter = [this] { ShowStorageChoice(false); };
  steps.push_back(d);
  DefineSteps(std::move(steps));
}

void TAssEnreg::FormActivate() {
  TWizard::FormActivate();
  // Coming back from the configuration dialog or the help viewer is no
  // new opening: the step and the choice stay.
  if (!ActivationIsNewOpening() || Current == 'D') return;
  DisquetteA.SetEnabled(Program.RemovableDrives.find('A') != std::string::npos);
  DisquetteB.SetEnabled(Program.RemovableDrives.find('B') != std::string::npos);
  DisquetteA.SetChecked(Program.StorageLocation == "A:\\");
  DisquetteB.SetChecked(Program.StorageLocation == "B:\\");
  Disquedur.SetChecked(!DisquetteA.Checked() && !DisquetteB.Checked());
  ShowStep('A');
}

void TAssEnreg::BtnSuivantClick() {
  ShowStep(Next);
  if (Current != 'D') return;
  // The step's text is seen while the recording holds the window.
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Record();
}

// Step D: records the state with the configured drives and types, then
// keeps it on the hard disk or moves it to the diskette chosen.
void TAssEnreg::Record() {
  HourGlass busy;
  Program.RecordDrives = Program.Drives.substr(0, 10);
  Program.RecordTypes = Program.Types.substr(0, 10);
  BuildExclusionList(Program.ExclusionText);
  Program.StateSizeTotal = 0;
  try {
    char drive = DriveOf(Program.ProgramDirectory)[0];
    Program.StorageLocation = "";
    if (DisquetteA.Checked()) drive = 'A', Program.StorageLocation = "A:\\";
    else if (DisquetteB.Checked()) drive = 'B', Program.StorageLocation = "B:\\";
    uint64_t freeBytes = 0;
    int freeSpaceError = 0;
    FreeBytesOf(std::string(1, drive) + ":\\", freeBytes, freeSpaceError);
    const std::string name = NewStateName();
    RecordState(name, this);
    StoreState(name, drive, static_cast<uint32_t>(std::min<uint64_t>(freeBytes / 512, UINT32_MAX)),
               freeSpaceError);
  } catch (const IoError& e) {
    HideWaitMessage();
    SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
    ShowDiskError(e.code);
    Close(mrCancel);
    return;
  }
  HideWaitMessage();
  SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  Close(mrOk);
}

// A state on the hard disk is the next "before" state and the command
// line's reference; one for a diskette goes there when it has room, and
// stays in the program directory otherwise.
void TAssEnreg::StoreState(const std::string& name, char drive, uint32_t freeUnits, int freeSpaceError) {
  if (Program.StorageLocation.empty()) {
    settings::Write(settings::Text::Pred, name);
    settings::Write(settings::Text::Bat, name);
    return;
  }
  // No diskette in the drive: that is what the user is told, not that the
  // state is too large for it.
  if (freeSpaceError != 0)
    throw IoError(MediaErrorCode(std::string(1, drive) + ":\\", freeSpaceError), "no diskette");
  if (freeUnits >= Program.StateSizeTotal) {
    TransferStateFiles(name, TransferDirection::ToStorage);
  } else {
    HideWaitMessage();
    ShowMessageBox("La taille des fichiers est supérieure à l'espace libre sur la disquette.", MessageKind::Error,
                   MessageButtons::Ok);
  }
}
