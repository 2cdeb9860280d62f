// The wait window "Pivalune 98 - Patientez": one lowered panel whose text
// each stage of a long operation sets, repainted at once while the caller
// keeps the thread busy.
#pragma once
#include "services/wait_message.h"
#include "ui/form.h"

class TWaitWindow : public TForm, public WaitMessageDisplay {
 public:
  explicit TWaitWindow(HWND owner);
  void Show(const std::string& text) override;
  void Hide() override;

  Panel Attendre;
};
