// The radio network setup as the user meets it: which buttons may confirm, the counter option
// locking the other two, group membership by buttons and drags, the delete questions, the
// input dialogs keeping their numbers free and refusing names the file cannot hold, the found
// satellites and their address change, and the file the dialog writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <set>

#include "../config/setup_dialog_fixture.h"
#include "../shell/window_fixture.h"
#include "radio/ui/network_input_forms.h"
#include "radio/ui/network_setup_form.h"
#include "radio/ui/sat_list_box.h"
#include "support/pty_pair.h"

namespace quillon::test {
namespace {

// A picture for looking at, when QUILLON_SCREENSHOTS names a directory.
void Shot(QWidget* w, const char* name) {
  if (const char* dir = std::getenv("QUILLON_SCREENSHOTS")) {
    w->grab().save(QString(dir) + "/" + name + ".png");
  }
}

void ClickIn(QWidget* w, const char* button) { w->findChild<QAbstractButton*>(button)->click(); }

class NetworkSetup : public ::testing::Test {
 protected:
  // An idle line: the address changes here find nobody.
  void SetUp() override { ASSERT_GT(port_.Open(line_.path(), 9600, 8, 0, 1), 0); }
  void TearDown() override {
    form_.reset();
    EXPECT_TRUE(unexpected_.seen().empty()) << unexpected_.seen().front();
    EXPECT_TRUE(answers_.Done()) << "an expected box did not appear";
  }

  void File(const std::string& ini) { WriteBytes(dir_.File("Tembra_COM1.ini"), ini); }
  TMultiSatSetupForm& Open() {
    form_.reset();
    (void)network_.SetIniName("Tembra_COM1.ini", dir_.path() + "/");
    form_ = std::make_unique<TMultiSatSetupForm>(network_, port_);
    form_->show();
    return *form_;
  }
  template <typename T>
  T* Find(const char* name) {
    T* w = form_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* button) { Find<QAbstractButton>(button)->click(); }
  bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
  bool Checked(const char* box) { return Find<QCheckBox>(box)->isChecked(); }
  void Page(int index) { Find<QTabWidget>("PC")->setCurrentIndex(index); }
  // Selects exactly these rows of the list.
  void Select(const char* list, std::initializer_list<int> rows) {
    QListWidget* l = Find<QListWidget>(list);
    l->clearSelection();
    for (const int row : rows) l->item(row)->setSelected(true);
  }
  // The satellite IDs a list shows, in list order.
  std::vector<int> Ids(const char* list) {
    QListWidget* l = Find<QListWidget>(list);
    std::vector<int> ids;
    for (int row = 0; row < l->count(); ++row)
      ids.push_back(l->item(row)->data(Qt::UserRole).toInt());
    return ids;
  }
  std::vector<int> Members(const std::string& group) {
    std::vector<int> ids;
    for (const TOneSat* sat : network_.FindGroup(group)->SatList) ids.push_back(sat->Nr);
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  // Drags the selection of one satellite list onto the other; true when the drop was taken.
  bool Drag(const char* from, const char* onto) {
    std::unique_ptr<QMimeData> data(Find<SatListBox>(from)->SelectionData());
    QWidget* target = Find<SatListBox>(onto)->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }
  // The next dialog of a kind gets `fill`, then its "&Ok".
  template <typename Form>
  void Confirm(std::function<void(Form*)> fill = {}) {
    answers_.Arm([fill](QWidget* w) {
      auto* form = qobject_cast<Form*>(w);
      ASSERT_NE(form, nullptr);
      if (fill) fill(form);
      ClickIn(form, "OkBtn");
    });
  }
  // "&Neue Adresse" with `answer` typed into its box; a refused answer brings an error box.
  void NewAddress(const QString& answer, bool refused) {
    answers_.Arm([answer](QWidget* w) {
      auto* ask = qobject_cast<QInputDialog*>(w);
      ASSERT_NE(ask, nullptr);
      ask->setTextValue(answer);
      Shot(ask, "network-new-address");
      ask->accept();
    });
    if (refused) answers_.Press("okButton");
    Click("NewSatAdrBtn");
  }
  std::string LastBox() const { return answers_.seen().back().text; }

  TempDir dir_;
  TMultiSat network_;
  PtyPair line_;
  TOrvComm port_;
  ModalAnswers answers_;
  UnexpectedBoxes unexpected_;
  std::unique_ptr<TMultiSatSetupForm> form_;
};

TEST_F(NetworkSetup, ConfirmingNeedsAStationAndTheFileKeepsWhatWasTakenOver) {
  Open();
  EXPECT_FALSE(Enabled("OkBtn")) << "an empty network";
  EXPECT_FALSE(Enabled("GetActBtn"));
  Page(1);
  Confirm<TGrpForm>();
  Click("NewGrpBtn");
  EXPECT_FALSE(Enabled("OkBtn")) << "a group without satellites";
  Confirm<TSatForm>([](TSatForm* f) {
    f->findChild<QLineEdit*>("SatName")->setText("Nord");
    f->findChild<QSpinBox*>("BisTerm")->setValue(20);
  });
  Click("NewSatBtn");
  EXPECT_FALSE(Enabled("OkBtn")) << "a satellite in no group";
  Click("AddAllSatBtn");  // into the new group, which is selected
  EXPECT_TRUE(Enabled("OkBtn"));
  EXPECT_TRUE(Enabled("GetActBtn"));
  Page(3);
  Find<QSpinBox>("SatCmdDelay")->setValue(120);
  Shot(form_.get(), "network-options");
  Click("GetActBtn");
  EXPECT_FALSE(Enabled("GetActBtn")) << "taken over";
  EXPECT_TRUE(Enabled("OkBtn"));

  Page(2);
  Confirm<TTermForm>();
  Click("NewTermBtn");
  ASSERT_EQ(network_.TerminalCount(), 1u);
  EXPECT_EQ(network_.Terminals[0]->Nr, 2) << "1 is the satellite's ID";
  EXPECT_TRUE(Enabled("GetActBtn"));
  Click("AbbrechenBtn");
  EXPECT_EQ(form_->result(), QDialog::Rejected);
  EXPECT_EQ(network_.TerminalCount(), 0u) << "read back from the file";
  ASSERT_NE(network_.FindGroup("Gruppe 1"), nullptr) << "what was taken over stays";
  EXPECT_EQ(Members("Gruppe 1"), std::vector<int>{1});

  TMultiSat fresh;
  ASSERT_TRUE(fresh.SetIniName("Tembra_COM1.ini", dir_.path() + "/"));
  ASSERT_EQ(fresh.SatelliteCount(), 1u);
  EXPECT_EQ(fresh.Satellites[0]->Name, "Nord");
  EXPECT_EQ(fresh.Satellites[0]->VonTerm, 1);
  EXPECT_EQ(fresh.Satellites[0]->BisTerm, 20);
  ASSERT_NE(fresh.FindGroup("Gruppe 1"), nullptr);
  ASSERT_EQ(fresh.FindGroup("Gruppe 1")->SatList.size(), 1u);
  EXPECT_EQ(fresh.FindGroup("Gruppe 1")->SatList[0], fresh.Satellites[0].get());
  EXPECT_EQ(fresh.SatCmdDelay, 120);

  // A file that cannot be written: the dialog says so and stays; "&Ok" then saves and closes.
  Open();
  const std::string file = network_.IniName;
  network_.IniName = dir_.File("fehlt/Tembra_COM1.ini");
  Click("MitLogbuch");
  const size_t boxes = answers_.seen().size();
  answers_.Press("okButton");
  Click("OkBtn");
  EXPECT_EQ(answers_.seen().size(), boxes + 1);
  EXPECT_TRUE(form_->isVisible());
  network_.IniName = file;
  Click("OkBtn");
  EXPECT_EQ(form_->result(), QDialog::Accepted);
  EXPECT_FALSE(form_->isVisible());
  ASSERT_TRUE(fresh.Load());
  EXPECT_EQ(fresh.Debuglevel, 1);
}

TEST_F(NetworkSetup, TheCounterOptionChecksAndLocksTheOtherTwo) {
  File(
      "[Optionen]\r\nTerminal-ID vor Daten=0\r\nDoppelte Datensätze löschen=0\r\n"
      "Daten mit Protokollzähler=0\r\n");
  Open();
  EXPECT_FALSE(Checked("TermDatenMitProtCounter"));
  EXPECT_FALSE(Checked("TermDatenMitTermNr"));
  EXPECT_TRUE(Enabled("TermDatenMitTermNr"));
  EXPECT_TRUE(Enabled("DelDoppelteDS"));

  Click("TermDatenMitProtCounter");
  EXPECT_TRUE(network_.WithCounter);
  for (const char* box : {"TermDatenMitTermNr", "DelDoppelteDS"}) {
    EXPECT_TRUE(Checked(box)) << box;
    EXPECT_FALSE(Enabled(box)) << box;
  }
  EXPECT_TRUE(network_.TermIdBeforeData);
  EXPECT_TRUE(network_.DeleteDuplicates);
  EXPECT_TRUE(form_->Changed());

  Click("TermDatenMitProtCounter");
  EXPECT_FALSE(network_.WithCounter);
  EXPECT_TRUE(Enabled("TermDatenMitTermNr"));
  EXPECT_TRUE(Enabled("DelDoppelteDS"));
  Click("DelDoppelteDS");
  EXPECT_FALSE(network_.DeleteDuplicates);

  // A file with the counter but without removing repeats: repeats are removed.
  File("[Optionen]\r\nDoppelte Datensätze löschen=0\r\nDaten mit Protokollzähler=1\r\n");
  Open();
  EXPECT_TRUE(network_.DeleteDuplicates);
  EXPECT_TRUE(Checked("DelDoppelteDS"));
  EXPECT_FALSE(Enabled("DelDoppelteDS"));
  EXPECT_FALSE(form_->Changed());
}

TEST_F(NetworkSetup, GroupMembershipByButtonsAndDrags) {
  File(
      "[Satelliten]\r\n3=Ost,21,30\r\n1=Nord,1,10\r\n2=Sued,11,20\r\n"
      "[Gruppen]\r\nB=\r\nA=1\r\n");
  Open();
  Page(1);
  Select("GrpListBox", {0, 1});
  EXPECT_TRUE(Ids("GrpSatListBox").empty()) << "two groups: none of them shown";
  EXPECT_EQ(Ids("AvailSatListBox"), (std::vector<int>{1, 2, 3}));
  Select("AvailSatListBox", {0});
  for (const char* b : {"AddSatBtn", "AddAllSatBtn", "RemoveSatBtn", "RemoveAllSatBtn"}) {
    EXPECT_FALSE(Enabled(b)) << b;
  }
  EXPECT_FALSE(Drag("AvailSatListBox", "GrpSatListBox")) << "no single group to take them";

  Select("GrpListBox", {0});  // A, sorted before B
  Shot(form_.get(), "network-groups");
  EXPECT_EQ(Ids("GrpSatListBox"), std::vector<int>{1});
  EXPECT_EQ(Ids("AvailSatListBox"), (std::vector<int>{2, 3}));
  Select("AvailSatListBox", {0});
  Click("AddSatBtn");
  EXPECT_EQ(Members("A"), (std::vector<int>{1, 2}));
  EXPECT_EQ(Ids("GrpSatListBox"), (std::vector<int>{1, 2}));
  Select("GrpSatListBox", {0});
  Click("RemoveSatBtn");
  EXPECT_EQ(Members("A"), std::vector<int>{2});
  Click("AddAllSatBtn");
  EXPECT_EQ(Members("A"), (std::vector<int>{1, 2, 3}));
  Click("RemoveAllSatBtn");
  EXPECT_TRUE(Members("A").empty());
  EXPECT_FALSE(Enabled("OkBtn")) << "no group has a satellite";

  Select("AvailSatListBox", {0, 2});
  ASSERT_TRUE(Drag("AvailSatListBox", "GrpSatListBox"));
  EXPECT_EQ(Members("A"), (std::vector<int>{1, 3}));
  EXPECT_EQ(Ids("AvailSatListBox"), std::vector<int>{2});
  Select("GrpSatListBox", {1});
  ASSERT_TRUE(Drag("GrpSatListBox", "AvailSatListBox"));
  EXPECT_EQ(Members("A"), std::vector<int>{1});
  EXPECT_FALSE(Drag("GrpSatListBox", "GrpSatListBox")) << "not onto itself";
  EXPECT_TRUE(Members("B").empty());
  EXPECT_TRUE(Enabled("OkBtn"));
}

TEST_F(NetworkSetup, DeletingAsksForOneByNameAndForSeveralTogether) {
  File(
      "[Terminals]\r\n5=Kasse\r\n6=Lager\r\n[Satelliten]\r\n1=Nord,1,10\r\n2=Sued,11,20\r\n"
      "[Gruppen]\r\nA=1\r\nB=\r\nC=1,2\r\n");
  Open();
  Page(1);
  Select("GrpListBox", {0});
  answers_.Press("noButton");
  Click("DelGrpBtn");
  EXPECT_NE(LastBox().find("'A'"), std::string::npos) << LastBox();
  EXPECT_EQ(network_.GroupCount(), 3u) << "answered no";
  Select("GrpListBox", {0, 1});
  answers_.Press("yesButton");
  Click("DelGrpBtn");
  EXPECT_EQ(LastBox().find("'A'"), std::string::npos) << LastBox();
  ASSERT_EQ(network_.GroupCount(), 1u);
  EXPECT_EQ(network_.Groups[0]->Name, "C");

  Select("GrpListBox", {0});
  Select("GrpSatListBox", {0});
  answers_.Press("yesButton");
  Click("DelGrpSatBtn");
  EXPECT_NE(LastBox().find("Nord"), std::string::npos) << LastBox();
  EXPECT_EQ(network_.FindSatellite(1), nullptr);
  EXPECT_EQ(Members("C"), std::vector<int>{2}) << "gone from its groups too";

  Page(2);
  Select("TermListBox", {0, 1});
  Shot(form_.get(), "network-terminals");
  answers_.Press("yesButton");
  Click("DelTermBtn");
  EXPECT_EQ(network_.TerminalCount(), 0u);
  EXPECT_EQ(answers_.seen().size(), 4u);
}

// The ID steps past taken ones in the direction of the change and stays when none is free
// there; a range is never reversed.
TEST_F(NetworkSetup, InputFormsKeepNumbersFreeAndRangesInOrder) {
  // Terminal 2 shares its number with satellite 2, as a file edited by hand may have it.
  File("[Terminals]\r\n4=Kasse\r\n2=Waage\r\n[Satelliten]\r\n1=Nord,1,10\r\n2=Sued,11,20\r\n");
  Open();
  {
    TSatForm form(network_, nullptr);
    auto* nr = form.findChild<QSpinBox*>("SatNr");
    auto* name = form.findChild<QLineEdit*>("SatName");
    EXPECT_EQ(form.Nr(), 3);
    EXPECT_EQ(form.Von(), 1) << "no range entered before";
    EXPECT_EQ(form.Bis(), 1);
    const struct { int typed, shown; } steps[] = {{4, 5}, {4, 3}, {2, 3}, {99, 99}, {50, 50}};
    for (const auto& s : steps) {
      nr->setValue(s.typed);
      EXPECT_EQ(form.Nr(), s.shown) << "typed " << s.typed;
    }
    EXPECT_EQ(form.Name(), "Satellit 50") << "the proposed name follows";
    name->setText("Halle");
    nr->setValue(51);
    EXPECT_EQ(form.Name(), "Halle") << "a name of the user's stays";

    form.findChild<QSpinBox*>("VonTerm")->setValue(30);
    EXPECT_EQ(form.Bis(), 30);
    form.findChild<QSpinBox*>("BisTerm")->setValue(12);
    EXPECT_EQ(form.Von(), 12);
    Shot(&form, "network-satellite-form");
  }
  {
    TSatForm form(network_, network_.FindSatellite(2));
    auto* nr = form.findChild<QSpinBox*>("SatNr");
    nr->setValue(3);
    nr->setValue(2);
    EXPECT_EQ(form.Nr(), 2) << "its own ID is free for it";
    EXPECT_EQ(form.Von(), 11);
    form.accept();
    EXPECT_EQ(form.result(), QDialog::Accepted) << "a satellite keeps its ID";
  }
  {
    TTermForm form(network_, network_.Terminals[1].get());
    form.accept();
    EXPECT_EQ(form.result(), QDialog::Accepted) << "a terminal keeps its number";
  }
  {
    TTermForm form(network_, nullptr);
    EXPECT_EQ(form.Nr(), 3) << "1 and 2 are satellites";
    form.findChild<QSpinBox*>("TermNr")->setValue(4);
    EXPECT_EQ(form.Nr(), 5) << "4 is a terminal already";
  }
}

TEST_F(NetworkSetup, InputFormsRefuseNamesTheFileCannotHold) {
  File("[Satelliten]\r\n1=Nord,1,10\r\n[Gruppen]\r\nGruppe 1=1\r\n");
  Open();
  const auto groupForm = [&]() -> std::unique_ptr<QDialog> {
    return std::make_unique<TGrpForm>(network_, nullptr);
  };
  const auto satForm = [&]() -> std::unique_ptr<QDialog> {
    return std::make_unique<TSatForm>(network_, nullptr);
  };
  const auto termForm = [&]() -> std::unique_ptr<QDialog> {
    return std::make_unique<TTermForm>(network_, nullptr);
  };
  const struct {
    std::function<std::unique_ptr<QDialog>()> make;
    const char* field;
    const char* name;
    bool taken;
  } cases[] = {
      {groupForm, "GrpName", "Halle, Nord", false},
      {groupForm, "GrpName", "A=B", false},
      {groupForm, "GrpName", "Halle", true},
      {satForm, "SatName", "Nord|Süd", false},
      {satForm, "SatName", "Süd", true},
      {termForm, "TermName", "Kasse,2", false},
      {termForm, "TermName", "  ", false},
      {termForm, "TermName", "Kasse 2", true},
  };
  for (const auto& c : cases) {
    std::unique_ptr<QDialog> form = c.make();
    form->findChild<QLineEdit*>(c.field)->setText(QString::fromUtf8(c.name));
    if (!c.taken) answers_.Press("okButton");
    form->accept();
    EXPECT_EQ(form->result() == QDialog::Accepted, c.taken) << c.name;
    EXPECT_TRUE(answers_.Done()) << c.name;
  }
  EXPECT_EQ(answers_.seen().size(), 5u);

  // A group name in use (ignoring case) cannot be confirmed, except the group's own.
  TGrpForm fresh(network_, nullptr);
  EXPECT_EQ(fresh.Name(), "Gruppe 2");
  Shot(&fresh, "network-group-form");
  TTermForm term(network_, nullptr);
  Shot(&term, "network-terminal-form");
  auto* ok = fresh.findChild<QPushButton*>("OkBtn");
  EXPECT_TRUE(ok->isEnabled());
  fresh.findChild<QLineEdit*>("GrpName")->setText("gruppe 1");
  EXPECT_FALSE(ok->isEnabled());
  TGrpForm rename(network_, network_.FindGroup("Gruppe 1"));
  rename.findChild<QLineEdit*>("GrpName")->setText("GRUPPE 1");
  EXPECT_TRUE(rename.findChild<QPushButton*>("OkBtn")->isEnabled());
}

TEST_F(NetworkSetup, FoundSatellitesAndTheirAddressChange) {
  // Closed while a search runs on the idle line: the search ends with the dialog.
  Open();
  Click("SearchSatBtn");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QWidget>("SearchAdrPnl")->isVisible(); }, 15000));
  Click("AbbrechenBtn");
  EXPECT_FALSE(form_->isVisible());

  Open();
  for (const int address : {0, 5, 7}) form_->SatelliteFound(address);
  EXPECT_EQ(Ids("GefSatLB"), (std::vector<int>{0, 5, 7}));
  EXPECT_TRUE(Find<QListWidget>("GefSatLB")->item(2)->isSelected()) << "the last found";
  EXPECT_TRUE(Enabled("NewSatAdrBtn"));
  Select("GefSatLB", {});
  EXPECT_FALSE(Enabled("NewSatAdrBtn"));
  Select("GefSatLB", {1});
  Shot(form_.get(), "network-found");

  for (const char* refused : {"0", "101", "abc", "7", "-0-"}) {
    NewAddress(refused, true);
    EXPECT_TRUE(answers_.Done()) << refused;
    EXPECT_TRUE(Enabled("NewSatAdrBtn")) << refused << ": no change started";
  }
  EXPECT_EQ(answers_.seen().size(), 10u);

  NewAddress("9", false);
  EXPECT_FALSE(Enabled("NewSatAdrBtn")) << "while the change runs";
  EXPECT_FALSE(Enabled("SearchSatBtn"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Enabled("NewSatAdrBtn"); }, 15000));
  EXPECT_EQ(Ids("GefSatLB"), (std::vector<int>{0, 5, 7})) << "nobody answered at 9";
  EXPECT_TRUE(Find<QListWidget>("GefSatLB")->item(1)->isSelected());
  form_->AddressChangeEnded(5, 9, true);
  EXPECT_EQ(Ids("GefSatLB"), (std::vector<int>{0, 9, 7}));
}

// Closes a dialog of the test's when the steps that should close it stopped short, so that a
// failure ends the test instead of leaving it waiting in the dialog.
class ClosesAtEnd {
 public:
  explicit ClosesAtEnd(QWidget* w) : w_(w) {}
  ~ClosesAtEnd() {
    if (!w_ || !w_->isVisible()) return;
    if (auto* dialog = qobject_cast<QDialog*>(w_.data())) {
      dialog->done(QDialog::Rejected);
    } else {
      w_->close();
    }
  }
  ClosesAtEnd(const ClosesAtEnd&) = delete;
  ClosesAtEnd& operator=(const ClosesAtEnd&) = delete;
  // The steps went as planned: the dialog stays.
  void Release() { w_ = nullptr; }

 private:
  QPointer<QWidget> w_;
};

// The whole way in: the main window's settings, the port's radio network button, the network
// opened on the port's line where the search finds the simulator's satellites, "&Ok" writing
// the network file. A port another program holds is refused with a message naming it.
TEST(NetworkSetupWindow, TheSetupDialogOpensThePortsNetwork) {
  WindowFixture f;
  ASSERT_TRUE(f.Terminal(1, {"satellites", "--sat", "5", "--sat", "7"}));
  ASSERT_TRUE(f.HoldLine(1));
  const std::string line = f.sims[1]->out().substr(5, f.sims[1]->out().find('\n') - 5);
  WriteBytes(f.dir.File("Tembra_COM1.ini"), "[Terminals]\r\n10=Kasse\r\n");
  f.Active(1);
  f.Settings("[Datenparameter f\xFCr COM1:]\r\nProtokoll=1\r\n");
  ASSERT_TRUE(f.Start());

  ModalAnswers answers;
  std::vector<int> found;
  int holder = -1;  // the other program's hold on the line
  // The setup dialog: COM1's page "Daten", its radio network button pressed (twice: with the
  // line free, then held), then the dialog closed.
  answers.Arm([&](QWidget* w) {
    ClosesAtEnd onFailure(w);
    auto* setup = qobject_cast<TQuillonSetupForm*>(w);
    ASSERT_NE(setup, nullptr);
    setup->ShowPort(1);
    setup->findChild<QTabWidget*>("PageControl")
        ->setCurrentWidget(setup->findChild<QWidget*>("Daten"));
    auto* button = setup->findChild<QPushButton*>("FunkNetzConfigBtn");
    ASSERT_TRUE(button->isVisible() && button->isEnabled());
    Shot(setup, "setup-data-radio-button");
    onFailure.Release();
    QTimer::singleShot(0, [&, setup, button] {
      ClosesAtEnd atEnd(setup);
      button->click();
      holder = open(line.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
      ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
      // The refusal; anything else is closed.
      answers.Arm([](QWidget* box) {
        ClosesAtEnd closed(box);
        if (auto* ok = box->findChild<QAbstractButton*>("okButton")) ok->click();
      });
      button->click();
    });
  });
  // The network dialog: a search until both satellites are found, then "&Ok".
  answers.Arm([&](QWidget* w) {
    ClosesAtEnd onFailure(w);
    auto* net = qobject_cast<TMultiSatSetupForm*>(w);
    ASSERT_NE(net, nullptr);
    auto* list = net->findChild<QListWidget*>("GefSatLB");
    net->findChild<QPushButton*>("SearchSatBtn")->click();
    ASSERT_TRUE(WaitUntil([&] { return list->count() == 1; }));
    Shot(net, "network-search-running");
    ASSERT_TRUE(WaitUntil([&] { return list->count() == 2; }));
    net->findChild<QPushButton*>("SearchSatBtn")->click();  // stop
    ASSERT_TRUE(WaitUntil([&] { return !net->findChild<QWidget*>("SearchAdrPnl")->isVisible(); }));
    Shot(net, "network-search-result");
    for (int row = 0; row < list->count(); ++row)
      found.push_back(list->item(row)->data(Qt::UserRole).toInt());
    net->findChild<QCheckBox*>("MitLogbuch")->click();
    net->findChild<QPushButton*>("OkBtn")->click();
  });
  f.Key(Qt::Key_F9);
  if (holder >= 0) close(holder);
  EXPECT_TRUE(answers.Done());
  EXPECT_EQ(found, (std::vector<int>{5, 7}));
  TMultiSat written;
  ASSERT_TRUE(written.SetIniName("Tembra_COM1.ini", f.dir.path() + "/"));
  EXPECT_EQ(written.Debuglevel, 1);
  EXPECT_EQ(written.TerminalCount(), 1u);
  ASSERT_EQ(answers.seen().size(), 3u);
  EXPECT_NE(answers.seen().back().text.find("COM1"), std::string::npos)
      << answers.seen().back().text;
}

}  // namespace
}  // namespace quillon::test
