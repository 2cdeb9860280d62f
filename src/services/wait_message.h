// Progress texts of long operations. The engines only call these two; the
// window layer installs the wait window behind them. Without one (the
// command line with no display) the texts go nowhere.
#pragma once
#include <string>

class WaitMessageDisplay {
 public:
  virtual void Show(const std::string& text) = 0;
  virtual void Hide() = 0;

 protected:
  ~WaitMessageDisplay() = default;
};

void SetWaitMessageDisplay(WaitMessageDisplay* display);
void ShowWaitMessage(const std::string& text);
void HideWaitMessage();
