// The undo's questions and notices as the program's own message boxes:
// modal to its windows, in French, with the hourglass back once answered.
#pragma once

// Makes the undo ask through ShowMessageBox from now on.
void UseQuestionBoxes();
// Back to no window: every question answered No.
void StopQuestionBoxes();
