#include "recording/state_list.h"

#include "recording/catalogue_lines.h"
#include "recording/state_files.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "ui/messages.h"

void FillRecordedStateList(const TWizard& wizard, const ListBox& list) {
  HourGlass busy;
  list.Clear();
  Program.StorageLocation = "";
  try {
    ListRecordedStates(LabelCaptionRecorded, [&](const std::string& line) { list.Add(line); });
  } catch (const IoError& e) {
    ShowDiskError(e.code);
  }
  wizard.FitLineList(list);
}
