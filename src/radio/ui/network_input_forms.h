#pragma once
// The three small input dialogs of the radio network setup: a group's name (TGrpForm), a
// satellite's ID, name and terminal range (TSatForm), a stationary terminal's number and name
// (TTermForm). Each proposes the values of a new record or shows those of the record it edits,
// keeps its numbers on free ones while the user changes them, and refuses on "&Ok" what the
// network file cannot hold. They change nothing themselves: the caller takes the values.
#include <QDialog>
#include <string>

#include "radio/multi_sat.h"

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillon {

class TGrpForm : public QDialog {
  Q_OBJECT

 public:
  // `editing` is the group being renamed, or null for a new group.
  TGrpForm(const TMultiSat& network, const TOneGrp* editing, QWidget* parent = nullptr);
  std::string Name() const;

 public slots:
  void accept() override;

 private:
  void NameEdited();

  const TMultiSat& network_;
  const TOneGrp* editing_;
  QLineEdit* GrpName;
  QPushButton* ok_;
};

class TSatForm : public QDialog {
  Q_OBJECT

 public:
  // `editing` is the satellite being edited, or null for a new one; a new one needs a free ID
  // (TMultiSat::FreeSatelliteId() above 0).
  TSatForm(const TMultiSat& network, const TOneSat* editing, QWidget* parent = nullptr);
  int Nr() const;
  std::string Name() const;
  int Von() const;
  int Bis() const;

 public slots:
  void accept() override;

 private:
  void NrChanged(int value);
  // The ID is neither another satellite's nor a stationary terminal's number.
  bool IdFree(int id) const;

  const TMultiSat& network_;
  const TOneSat* editing_;
  int shownNr_ = 0;
  QSpinBox* SatNr;
  QLineEdit* SatName;
  QSpinBox* VonTerm;
  QSpinBox* BisTerm;
};

class TTermForm : public QDialog {
  Q_OBJECT

 public:
  // `editing` is the terminal being edited, or null for a new one.
  TTermForm(const TMultiSat& network, const TOneTerm* editing, QWidget* parent = nullptr);
  int Nr() const;
  std::string Name() const;

 public slots:
  void accept() override;

 private:
  void NrChanged(int value);
  // The number is no satellite's ID and no other stationary terminal's number.
  bool NrFree(int nr) const;
  // The nearest free number beyond `from` in that direction, or `from` when there is none.
  int NextFree(int from, bool up) const;

  const TMultiSat& network_;
  const TOneTerm* editing_;
  int shownNr_ = 0;
  QSpinBox* TermNr;
  QLineEdit* TermName;
};

}  // namespace quillon
