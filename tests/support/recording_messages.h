#pragma once

#include <string>
#include <vector>

#include "common/messages.h"

namespace qv::test {

// Records every message the code shows; AskYesNo answers from a queue (default Yes).
class RecordingMessages : public Messages {
 public:
  struct Shown {
    std::string kind;  // "error", "info" or "ask"
    std::string text;
    bool operator==(const Shown&) const = default;
  };

  void ShowError(const std::string& text) override { shown.push_back({"error", text}); }
  void ShowInfo(const std::string& text) override { shown.push_back({"info", text}); }
  int AskYesNo(const std::string& text) override {
    shown.push_back({"ask", text});
    if (answers.empty()) return kYes;
    int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }

  std::vector<std::string> Errors() const {
    std::vector<std::string> out;
    for (const auto& s : shown) {
      if (s.kind == "error") out.push_back(s.text);
    }
    return out;
  }

  std::vector<Shown> shown;
  std::vector<int> answers;
};

}  // namespace qv::test
