#pragma once

#include <QDate>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/seams.h"

namespace devir::app::testing {

/// Thrown by ScriptedDialogs::EndProcess in place of ending the test process. Not a
/// std::exception, so the click frame lets it through as it would let the process end.
struct ProcessEnded {};

/// Answers the prompt from a script and records every prompt and message instead of showing.
class ScriptedDialogs : public Dialogs {
 public:
  struct Prompt {
    std::string caption;
    std::string text;
    std::string default_answer;
    int max_length = 0;
  };

  /// The answers in order; std::nullopt stands for Cancel (the default answer comes back).
  std::deque<std::optional<std::string>> answers;
  /// Runs when a prompt is shown, before it is answered (the user editing fields meanwhile).
  std::function<void()> while_prompting;

  std::vector<Prompt> prompts;
  QStringList messages;
  int end_process_calls = 0;

  std::string InputBox(std::string_view caption, std::string_view text,
                       std::string_view default_answer, int max_length) override {
    prompts.push_back(
        {std::string(caption), std::string(text), std::string(default_answer), max_length});
    if (while_prompting) while_prompting();
    if (answers.empty()) {
      // A prompt nobody scripted: end the click rather than loop for ever.
      ADD_FAILURE() << "unexpected prompt " << prompts.size();
      EndProcess();
    }
    std::optional<std::string> answer = std::move(answers.front());
    answers.pop_front();
    return answer ? *answer : std::string(default_answer);
  }

  [[noreturn]] void EndProcess() override {
    ++end_process_calls;
    throw ProcessEnded{};
  }

  void ShowMessage(const QString& text) override { messages.append(text); }
};

/// A clock that always reads the same day.
class FixedClock : public Clock {
 public:
  explicit FixedClock(QDate today) : today_(today) {}
  QDate Today() const override { return today_; }

 private:
  QDate today_;
};

}  // namespace devir::app::testing
