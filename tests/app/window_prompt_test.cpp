// The click frame up to the prompt: both buttons disable themselves first, and an empty answer
// ends the process with nothing shown and nothing sent to a server.
#include <gtest/gtest.h>

#include <QPushButton>

#include "app/fdevir.h"
#include "tests/app/scripted_dialogs.h"

namespace devir::app {
namespace {

using testing::FixedClock;
using testing::ProcessEnded;
using testing::ScriptedDialogs;

class WindowPromptTest : public ::testing::TestWithParam<const char*> {
 protected:
  QPushButton* Sender() { return window_.findChild<QPushButton*>(GetParam()); }

  ScriptedDialogs dialogs_;
  FixedClock clock_{QDate(2018, 6, 15)};
  TFdevir window_{dialogs_, clock_};
};

TEST_P(WindowPromptTest, ButtonsAreDisabledAndTheStageSetBeforeThePrompt) {
  dialogs_.answers = {""};
  bool checked = false;
  dialogs_.while_prompting = [&] {
    EXPECT_FALSE(window_.Button1->isEnabled());
    EXPECT_FALSE(window_.Button2->isEnabled());
    EXPECT_EQ(window_.Stage(), "veritabanına bağlanılamadı");
    checked = true;
  };
  EXPECT_THROW(window_.Button1Click(Sender()), ProcessEnded);
  EXPECT_TRUE(checked);
}

TEST_P(WindowPromptTest, EmptyAnswerEndsTheProcessShowingNothing) {
  window_.show();
  dialogs_.answers = {""};
  EXPECT_THROW(window_.Button1Click(Sender()), ProcessEnded);
  EXPECT_EQ(dialogs_.end_process_calls, 1);
  EXPECT_EQ(dialogs_.prompts.size(), 1u);
  EXPECT_TRUE(dialogs_.messages.isEmpty());
  // Nothing after the answer ran: no connection string was even set.
  EXPECT_TRUE(window_.C.ConnectionString().empty());
  EXPECT_FALSE(window_.C.Connected());
}

INSTANTIATE_TEST_SUITE_P(BothButtons, WindowPromptTest, ::testing::Values("Button1", "Button2"),
                         [](const ::testing::TestParamInfo<const char*>& param_info) {
                           return std::string(param_info.param);
                         });

}  // namespace
}  // namespace devir::app
