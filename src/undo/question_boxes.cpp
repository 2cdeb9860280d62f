#include "undo/question_boxes.h"

#include "ui/messages.h"
#include "undo/questions.h"

namespace {

class QuestionBoxes : public UndoQuestions {
 public:
  bool AskYesNo(const std::string& text) override {
    return ShowMessageBox(text, MessageKind::Warning, MessageButtons::YesNo) == IDYES;
  }
  void Inform(const std::string& text) override {
    ShowMessageBox(text, MessageKind::Information, MessageButtons::Ok);
  }
};

QuestionBoxes Boxes;

}  // namespace

void UseQuestionBoxes() { SetUndoQuestions(&Boxes); }
void StopQuestionBoxes() { SetUndoQuestions(nullptr); }
