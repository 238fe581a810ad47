// The close guard's messages as the window's message boxes: a question with Yes and No, and a
// critical message with OK, both with the program's title.
//
// Thread safety: GUI thread only.
#pragma once

#include <QWidget>

#include "app/close_guard.h"

namespace app {

class MessageBoxPrompter : public ClosePrompter {
  public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    bool AskYesNo(const std::string& question) override;
    void ShowCritical(const std::string& message) override;

  private:
    QWidget* parent_;
};

}  // namespace app
