// The questions and notices of the undo, asked through one small interface:
// the program's windows show them as its message boxes, tests answer by
// themselves, and the command line (confirmation level 0) is never asked
// anything.
#pragma once
#include <string>

class UndoQuestions {
 public:
  // A warning with the buttons Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // An information message with an OK button.
  virtual void Inform(const std::string& text) = 0;

 protected:
  ~UndoQuestions() = default;
};

// Installed by the window layer. Without one nobody can answer: every
// question is taken as No, which keeps what it asks about, and notices go
// nowhere.
void SetUndoQuestions(UndoQuestions* questions);
UndoQuestions& CurrentUndoQuestions();
