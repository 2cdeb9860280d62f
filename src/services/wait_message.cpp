#include "services/wait_message.h"

namespace {
WaitMessageDisplay* Display = nullptr;
}

void SetWaitMessageDisplay(WaitMessageDisplay* display) { Display = display; }

void ShowWaitMessage(const std::string& text) {
  if (Display) Display->Show(text);
}

void HideWaitMessage() {
  if (Display) Display->Hide();
}
