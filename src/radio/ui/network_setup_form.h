#pragma once
// TMultiSatSetupForm ("Einstellungen"): the setup of one radio network, edited in place on the
// network's TMultiSat. Four pages: the satellite search on the network's line with the address
// change of a found satellite, the groups and their satellites, the stationary terminals, and
// the options and pauses. "&Ok" and "&Übernehmen" save the network file, "&Abbrechen" (and any
// other way of closing) reads it back, so the network is always what the file holds.
//
// Runs on the main thread while the network's poll cycle is stopped (TembraConfigure). The
// search and the address change run on a worker of their own; its reports reach the window
// through queued calls, so the window keeps answering while the line is worked.
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "radio/multi_sat.h"
#include "serial/orv_comm.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace quillon {

class SatListBox;
class TSearchSatThread;

class TMultiSatSetupForm : public QDialog {
  Q_OBJECT

 public:
  // The network is read again from its file; `port` is the network's open line.
  TMultiSatSetupForm(TMultiSat& network, TOrvComm& port, QWidget* parent = nullptr);
  ~TMultiSatSetupForm() override;

  bool Changed() const { return changed_; }

  // The search worker's reports, handled on the main thread.
  void SearchTesting(int address, int baud);
  void SatelliteFound(int address);
  void SearchEnded();
  void AddressChangeEnded(int oldAddress, int newAddress, bool answered);

 public slots:
  // "&Abbrechen", Esc and the close box: the network as its file holds it.
  void reject() override;
  void done(int result) override;

 private:
  QWidget* BuildSearchPage();
  QWidget* BuildGroupsPage();
  QWidget* BuildTerminalsPage();
  QWidget* BuildOptionsPage();
  QWidget* BuildButtonRow();
  void FillOptions();

  // Search page.
  void SearchClicked();
  void NewAddressClicked();
  void RefreshSearchButtons();
  QListWidgetItem* FoundItem(int address) const;

  // Groups page.
  std::vector<TOneGrp*> SelectedGroups() const;
  TOneGrp* SingleGroup() const;  // the one selected group, else null
  void RebuildLists();
  // Rebuilds the lists with just this group selected.
  void SelectOnlyGroup(const std::string& name);
  void FillSatelliteLists();
  void NewGroup();
  void EditGroup();
  void DeleteGroups();
  void NewSatellite();
  void EditSatellite(const SatListBox* from);
  void DeleteSatellites(const SatListBox* from);
  void AddToGroup(const std::vector<int>& ids);
  void RemoveFromGroup(const std::vector<int>& ids);
  std::vector<int> AllIds(const SatListBox* list) const;

  // Terminals page.
  std::vector<TOneTerm*> SelectedTerminals() const;
  void RebuildTerminals();
  void NewTerminal();
  void EditTerminal();
  void DeleteTerminals();

  // Options page.
  void CounterToggled(bool on);

  void MarkChanged();
  void RefreshButtons();
  // Saves the network; on failure says so and returns false.
  bool SaveNetwork();
  void OkClicked();
  void ApplyClicked();
  void EndSearchWorker();

  TMultiSat& network_;
  std::unique_ptr<TSearchSatThread> search_;
  bool changed_ = false;
  bool searching_ = false;  // a search pass of ours runs
  bool changingAddress_ = false;
  bool stopping_ = false;  // the pass was told to stop and has not ended yet
  int filling_ = 0;        // controls are being loaded: no edits

  QTabWidget* PC = nullptr;
  QListWidget* GefSatLB = nullptr;
  QPushButton* SearchSatBtn = nullptr;
  QPushButton* NewSatAdrBtn = nullptr;
  QLabel* SearchAdrPnl = nullptr;

  QListWidget* GrpListBox = nullptr;
  SatListBox* GrpSatListBox = nullptr;
  SatListBox* AvailSatListBox = nullptr;
  QPushButton* newGroup_ = nullptr;
  QPushButton* editGroup_ = nullptr;
  QPushButton* deleteGroups_ = nullptr;
  QPushButton* newSatellite_ = nullptr;
  QPushButton* editSatellite_ = nullptr;
  QPushButton* deleteSatellites_ = nullptr;
  QPushButton* editGroupSatellite_ = nullptr;
  QPushButton* deleteGroupSatellites_ = nullptr;
  QPushButton* addSelected_ = nullptr;
  QPushButton* addAll_ = nullptr;
  QPushButton* removeSelected_ = nullptr;
  QPushButton* removeAll_ = nullptr;

  QListWidget* TermListBox = nullptr;
  QPushButton* editTerminal_ = nullptr;
  QPushButton* deleteTerminals_ = nullptr;

  QCheckBox* TermDatenMitTermNr = nullptr;
  QCheckBox* TermDatenMitProtCounter = nullptr;
  QCheckBox* DelDoppelteDS = nullptr;
  QSpinBox* OnlineOfflineDelay = nullptr;
  QSpinBox* SatCmdDelay = nullptr;
  QCheckBox* MitLogbuch = nullptr;

  QPushButton* OkBtn = nullptr;
  QPushButton* AbbrechenBtn = nullptr;
  QPushButton* GetActBtn = nullptr;
};

// Makes TembraConfigure run this dialog, modal over the window that is active then (the
// setup dialog). Call it on the main thread once the application exists.
void InstallNetworkSetupDialog();

}  // namespace quillon
