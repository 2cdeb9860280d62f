#include "undo/questions.h"

#include <windows.h>

namespace {

class MessageBoxQuestions : public UndoQuestions {
 public:
  bool AskYesNo(const std::string& text) override {
    return MessageBoxA(nullptr, text.c_str(), "Pivalune 98", MB_YESNO | MB_ICONWARNING) == IDYES;
  }
  void Inform(const std::string& text) override {
    MessageBoxA(nullptr, text.c_str(), "Pivalune 98", MB_OK | MB_ICONINFORMATION);
  }
};

MessageBoxQuestions DefaultQuestions;
UndoQuestions* Current = &DefaultQuestions;

}  // namespace

void SetUndoQuestions(UndoQuestions* questions) {
  Current = questions ? questions : &DefaultQuestions;
}

UndoQuestions& CurrentUndoQuestions() { return *Current; }
