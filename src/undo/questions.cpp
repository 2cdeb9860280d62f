#include "undo/questions.h"

namespace {

class Unanswered : public UndoQuestions {
 public:
  bool AskYesNo(const std::string&) override { return false; }
  void Inform(const std::string&) override {}
};

Unanswered NoWindow;
UndoQuestions* Current = &NoWindow;

}  // namespace

void SetUndoQuestions(UndoQuestions* questions) { Current = questions ? questions : &NoWindow; }

UndoQuestions& CurrentUndoQuestions() { return *Current; }
