// A close prompter for tests: records what it was shown and gives a fixed answer.
#pragma once

#include <string>
#include <vector>

#include "app/close_guard.h"

namespace app {

class FakePrompter : public ClosePrompter {
  public:
    bool answer = false;
    std::vector<std::string> questions;
    std::vector<std::string> messages;

    bool AskYesNo(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void ShowCritical(const std::string& message) override { messages.push_back(message); }
};

}  // namespace app
