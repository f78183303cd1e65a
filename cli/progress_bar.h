// A one-line progress bar on stderr, drawn only when stderr is a terminal.
#pragma once

#include <string>

namespace fw::cli {

bool StderrIsTerminal();

class ProgressBar {
  public:
    ProgressBar(bool enabled, std::string label);
    ~ProgressBar();
    void Update(double fraction);
    // Clears the line so later messages start clean.
    void Finish();

  private:
    bool enabled_;
    std::string label_;
    int shown_ = -1;  // per mille last drawn
};

}  // namespace fw::cli
