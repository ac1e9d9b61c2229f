// The program's message boxes: German captions and buttons, "\r" as a line break, and the
// answer each button gives.
#include "common/ui/message_boxes.h"

#include <gtest/gtest.h>

#include "modal_answer.h"

namespace quillon {
namespace {

using test::ModalAnswers;

TEST(MessageBoxes, CaptionsButtonsAndLineBreaks) {
  ModalAnswers answers;
  answers.Press("okButton");
  ShowMessageBox(nullptr, MessageKind::Warning, "eins\rzwei");
  answers.Press("noButton");
  EXPECT_FALSE(AskYesNoBox(nullptr, "Frage ?"));
  answers.Press("yesButton");
  EXPECT_TRUE(AskYesNoBox(nullptr, "Frage ?"));
  answers.Press("cancelButton");
  EXPECT_EQ(AskYesNoCancelBox(nullptr, "Parameter abspeichern ?"), YesNoCancel::Cancel);
  answers.Press("noButton");
  EXPECT_EQ(AskYesNoCancelBox(nullptr, "Parameter abspeichern ?"), YesNoCancel::No);
  ASSERT_EQ(answers.seen().size(), 5u);
  EXPECT_EQ(answers.seen()[0].title, "Warnung");
  EXPECT_EQ(answers.seen()[0].text, "eins\nzwei");
  EXPECT_EQ(answers.seen()[1].title, "Bestätigung");
}

}  // namespace
}  // namespace quillon
