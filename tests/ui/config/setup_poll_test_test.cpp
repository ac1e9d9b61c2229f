// The "Testen!" button of the polling page: the poll test on the port being edited, its two
// labels, and every way it ends.
#include <QPushButton>

#include "setup_dialog_fixture.h"
#include "support/pty_pair.h"

namespace quillon::test {
namespace {

class SetupPollTest : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    Configured(1);
    Open();
    Click("CfgBtn1");
    ShowPage("Polling");
    Choose("PollStatus", 1);
    Find<QSpinBox>("PollTakt")->setValue(200);
    Find<QSpinBox>("NewAdr")->setValue(42);
    Click("InsertAdrBtn");
  }
  std::string Label(const char* name) { return Find<QLabel>(name)->text().toStdString(); }
  QPushButton* Toggle() { return Find<QPushButton>("PollTestBtn"); }
};

TEST_F(SetupPollTest, ShowsTheAnsweredAddressAndStopsWhenPollingIsSwitchedOff) {
  PtyPair pty;
  Remap("COM1=" + pty.path() + "\r\n");
  Toggle()->click();
  ASSERT_TRUE(Toggle()->isChecked());
  EXPECT_EQ(Label("TestPollAdr"), "-");
  EXPECT_EQ(Label("PollTestTime"), "Min:-  Akt:-  Max:-");
  ASSERT_EQ(pty.Read(9, 2000), "\r000042?\r");
  pty.Write("\x06");
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return Label("PollTestTime") != "Min:-  Akt:-  Max:-"; }, 3000));
  EXPECT_EQ(Label("TestPollAdr"), "000042");
  int mn = -1, cur = -1, mx = -1;
  EXPECT_EQ(std::sscanf(Label("PollTestTime").c_str(), "Min:%d  Akt:%d  Max:%d", &mn, &cur, &mx), 3)
      << Label("PollTestTime");
  EXPECT_EQ(mn, cur);
  EXPECT_EQ(mx, cur);

  Choose("PollStatus", 0);
  EXPECT_FALSE(Toggle()->isChecked());
  pty.ReadFor(300);
  EXPECT_EQ(pty.ReadFor(400), "") << "no more polls";
}

TEST_F(SetupPollTest, LeavingThePortEndsTheTestAndAnotherPortOpensAgain) {
  PtyPair pty;
  Remap("COM1=" + pty.path() + "\r\n");
  Toggle()->click();
  ASSERT_EQ(pty.Read(9, 2000), "\r000042?\r");
  answers_.Press("noButton");
  Click("AbbrechenBtn");
  ASSERT_EQ(form_->EditPort(), 0);
  pty.ReadFor(300);
  EXPECT_EQ(pty.ReadFor(400), "") << "the test ended with the port's pages";

  Click("CfgBtn1");
  ShowPage("Polling");
  EXPECT_FALSE(Toggle()->isChecked());
  EXPECT_FALSE(Enabled("PollTestBtn")) << "the discarded polling settings are gone";
}

TEST_F(SetupPollTest, APortThatCannotBeOpenedIsReportedAndReleasesTheButton) {
  Remap("COM1=" + dir_.File("kein-geraet") + "\r\n");
  answers_.Press("okButton");
  Toggle()->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return answers_.Done() && !Toggle()->isChecked(); }, 3000));
  EXPECT_EQ(LastBox(), "Fehler beim Öffnen der seriellen Schnittstelle COM1: !");
  EXPECT_EQ(answers_.seen().back().title, "Fehler");
}

}  // namespace
}  // namespace quillon::test
