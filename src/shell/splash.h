// The splash screen: a borderless window holding one picture, shown for at
// least five seconds; it refuses to close while its timer runs.
#pragma once
#include "ui/form.h"

class TSplash : public TForm {
 public:
  TSplash();
  bool TimerFired() const { return fired_; }

 protected:
  bool FormCloseQuery() override { return fired_; }

 private:
  void Timer1Timer();
  Control Image;
  bool fired_ = false;
};
