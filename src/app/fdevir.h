#pragma once

#include <QWidget>
#include <string>

#include "app/seams.h"
#include "app/server_prompt.h"
#include "db/connection.h"
#include "db/query.h"
#include "db/server_login.h"

class QCloseEvent;
class QDateEdit;
class QLabel;
class QProgressBar;
class QPushButton;

namespace devir::app {

class TLabeledEdit;

/// The main window `Fdevir`: the transfer's fields with their defaults, the transfer button
/// `Button1` and "DB Sil" (`Button2`), both handled by `Button1Click`, and below the fields
/// the stage under way and the script's progress. Components carry their designer names as
/// members and as object names.
class TFdevir : public QWidget {
  Q_OBJECT

 public:
  /// Builds the window and runs FormCreate. dialogs and clock must outlive the window.
  TFdevir(Dialogs& dialogs, const Clock& clock, QWidget* parent = nullptr);
  ~TFdevir() override;

  /// Sets `dt` to 1 January of the clock's current year.
  void FormCreate();

  /// The click frame of both buttons; sender tells which was clicked. Shows any
  /// std::exception after the stage label; other exceptions pass through.
  void Button1Click(QObject* sender);

  /// The stage label of the click under way (UTF-8).
  const std::string& Stage() const noexcept { return stage_; }
  /// The server address typed for the click under way.
  const std::string& ServerAddress() const noexcept { return server_; }

  // Components, in tab order.
  QPushButton* Button1;
  QPushButton* Button2;
  QDateEdit* dt;
  TLabeledEdit* LabeledEdit1;
  TLabeledEdit* LabeledEdit2;
  TLabeledEdit* LabeledEdit3;
  TLabeledEdit* lveriyolu;
  TLabeledEdit* lkullan;
  // Shown from the first click on: the stage label and statements run of the script's total.
  QLabel* Label1;
  QProgressBar* ProgressBar1;

  // The connection shared by every step and its queries; ADOQuery1 holds the stock balance
  // query's text.
  db::Connection C;
  db::Query Q;
  db::Query ADOQuery1;

 protected:
  /// Refused while a click is being handled: the run ends the window itself.
  void closeEvent(QCloseEvent* event) override;

 private:
  SourceFields ReadSourceFields() const;
  /// The server typed for this click and the login fields as they stand.
  db::ServerLogin Login() const;
  /// Sets the stage label and shows it at once.
  void SetStage(std::string stage);
  /// Shows statements run of total at once.
  void ShowProgress(std::size_t run, std::size_t total);
  /// Paints what changed while the click handler keeps the thread; user input waits.
  void Repaint();
  void DetachTarget();
  /// The branch of Button1. Returns false when it has ended the click itself (a failing
  /// script line was shown), so that no "Bitti" follows.
  bool TransferRun();

  Dialogs& dialogs_;
  const Clock& clock_;
  std::string stage_;
  std::string server_;
  bool handling_click_ = false;
};

}  // namespace devir::app
