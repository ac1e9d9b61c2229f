// The setup password: asked for before the setup dialog, set anew from its port selection.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "config/ui/setup_entry.h"
#include "config/ui/setup_password.h"
#include "setup_dialog_fixture.h"

namespace quillon::test {
namespace {

class SetupPasswordTest : public SetupDialogTest {
 protected:
  void Store(const std::string& password) {
    ASSERT_TRUE(SettingsStore(app_, ui_).WriteSetupPassword(password));
  }
  std::string Stored() { return SettingsStore(app_, ui_).ReadSetupPassword(); }

  // Types each entry into the password dialog that opens next, each followed by Enter, and
  // notes the prompt before each entry and whether "OK" was enabled. The typing runs after the
  // answer has returned, so that an error box it opens can be answered in turn.
  void Answer(std::vector<std::string> entries) {
    answers_.Arm([this, entries](QWidget* dialog) {
      QTimer::singleShot(0, dialog, [this, entries, dialog] { TypeInto(dialog, entries); });
    });
  }
  void TypeInto(QWidget* dialog, const std::vector<std::string>& entries) {
    auto* field = dialog->findChild<QLineEdit*>("Password");
    ASSERT_NE(field, nullptr);
    echo_ = field->echoMode();
    for (const std::string& entry : entries) {
      if (auto* label = dialog->findChild<QLabel*>("PWLbl")) {
        prompts_.push_back(label->text().toStdString());
      }
      if (auto* ok = dialog->findChild<QPushButton*>("OKBtn")) {
        okEnabled_.push_back(ok->isEnabled());
      }
      QTest::keyClicks(field, QString::fromStdString(entry));
      QTest::keyClick(field, Qt::Key_Return);
      if (!dialog->isVisible()) return;
    }
  }

  std::vector<std::string> prompts_;
  std::vector<bool> okEnabled_;
  QLineEdit::EchoMode echo_ = QLineEdit::Normal;
};

TEST_F(SetupPasswordTest, AskedOnlyWhenSetAndComparedWithCase) {
  EXPECT_TRUE(CheckSetupPassword(nullptr, app_, ui_)) << "no password: no question";

  Store("Geheim");
  Answer({"Geheim"});
  EXPECT_TRUE(CheckSetupPassword(nullptr, app_, ui_));
  EXPECT_EQ(echo_, QLineEdit::Password);
  EXPECT_EQ(answers_.seen().back().title, "Paßwort");

  Answer({"geheim"});
  answers_.Press("okButton");
  EXPECT_FALSE(CheckSetupPassword(nullptr, app_, ui_)) << "letter case counts";
  EXPECT_EQ(answers_.seen().back().text, "Falsches Paßwort!");
  EXPECT_EQ(answers_.seen().back().title, "Fehler");

  answers_.Press("CancelBtn");
  EXPECT_FALSE(CheckSetupPassword(nullptr, app_, ui_)) << "cancelled, without a message";
  EXPECT_EQ(answers_.seen().size(), 4u);
}

TEST_F(SetupPasswordTest, FirstPasswordIsTypedTwiceAndConfirmed) {
  Answer({"Abc1", "Abc1"});
  const NewPassword result = AskNewPassword(nullptr, app_, ui_);
  EXPECT_TRUE(result.confirmed);
  EXPECT_EQ(result.password, "Abc1");
  EXPECT_EQ(prompts_, (std::vector<std::string>{"Bitte Paßwort eingeben !",
                                                "Bitte Paßwort nochmal eingeben !"}));
  EXPECT_EQ(okEnabled_, (std::vector<bool>{false, true}));
  EXPECT_EQ(Stored(), "") << "asking writes nothing";
}

TEST_F(SetupPasswordTest, WrongOldPasswordAndMismatchEndTheDialogAndStoreNothing) {
  Store("Alt");
  Answer({"alt"});
  answers_.Press("okButton");
  EXPECT_FALSE(AskNewPassword(nullptr, app_, ui_).confirmed);
  EXPECT_EQ(answers_.seen().back().text, "Ungültige Paßworteingabe !");

  Answer({"Alt", "Neu1", "Neu2"});
  answers_.Press("okButton");
  EXPECT_FALSE(AskNewPassword(nullptr, app_, ui_).confirmed);
  EXPECT_EQ(answers_.seen().back().text,
            "Die beiden eingegebenen Paßwörter stimmen nicht überein !");
  EXPECT_EQ(prompts_,
            (std::vector<std::string>{
                "Bitte altes Paßwort eingeben !", "Bitte altes Paßwort eingeben !",
                "Bitte neues Paßwort eingeben !", "Bitte neues Paßwort nochmal eingeben !"}));
  EXPECT_EQ(Stored(), "Alt");
}

TEST_F(SetupPasswordTest, NewPasswordButtonStoresItAndAnEmptyOneRemovesProtection) {
  Store("Alt");
  Open();
  Answer({"Alt", "Neu", "Neu"});
  Click("PasswortBtn");
  EXPECT_EQ(Stored(), "Neu");

  Answer({"Neu", "", ""});
  Click("PasswortBtn");
  EXPECT_EQ(Get(kGlobal, "Paßwort"), "") << "stored empty";
  EXPECT_TRUE(CheckSetupPassword(nullptr, app_, ui_)) << "and the setup opens unasked";

  // Cancelling at any step stores nothing.
  Store("Alt");
  const std::string before = FileBytes();
  answers_.Arm([](QWidget* dialog) {
    QTest::keyClicks(dialog->findChild<QLineEdit*>("Password"), "Alt");
    QTest::keyClick(dialog->findChild<QLineEdit*>("Password"), Qt::Key_Return);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  Click("PasswortBtn");
  EXPECT_EQ(FileBytes(), before);
}

}  // namespace
}  // namespace quillon::test
