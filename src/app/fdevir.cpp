#include "app/fdevir.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <exception>

#include "app/labeled_edit.h"
#include "app/server_prompt.h"
#include "db/script_runner.h"
#include "script/balance_query.h"
#include "script/trace_file.h"
#include "target/detach.h"
#include "target/platform_defaults.h"
#include "target/target_year.h"
#include "target/template_files.h"
#include "transfer/defaults.h"
#include "transfer/stage_labels.h"
#include "transfer/transfer_run.h"

namespace devir::app {
namespace {

// The progress bar counts in thousandths, so that any number of statements fits its int.
constexpr int kProgressSteps = 1000;

QFont WindowFont() {
  const QString family = QStringLiteral("MS Sans Serif");
  QFont font = QFontDatabase::hasFamily(family)
                   ? QFont(family)
                   : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  return font;
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

TLabeledEdit* MakeLabeledEdit(QWidget* parent, const char* name, const QString& caption,
                              const QString& text, QRect bounds) {
  auto* edit = new TLabeledEdit(caption, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setText(text);
  edit->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
  return edit;
}

}  // namespace

TFdevir::TFdevir(Dialogs& dialogs, const Clock& clock, QWidget* parent)
    : QWidget(parent), Q(C), ADOQuery1(C), dialogs_(dialogs), clock_(clock) {
  // Only its text is used: the query that computes each depot's remaining stock.
  ADOQuery1.SetSql(script::BalanceQuerySql());
  setObjectName(QStringLiteral("Fdevir"));
  setWindowTitle(QStringLiteral("Devir-%1").arg(target::kSourceYear));
  // The font first, so that every label measures its caption in it.
  setFont(WindowFont());
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(236, 238, 242));
  setPalette(colours);
  setAutoFillBackground(true);
  move(502, 146);
  resize(323, 380);

  Button1 = new QPushButton(QStringLiteral("Devir işlemine başlamak için tıklayın"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(18, 45, 235, 127);

  Button2 = new QPushButton(QStringLiteral("DB Sil"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(178, 8, 75, 25);

  // Until FormCreate runs, the picker holds the date stored with the window.
  dt = new QDateEdit(QDate(2016, 1, 1), this);
  dt->setObjectName(QStringLiteral("dt"));
  dt->setGeometry(18, 9, 145, 21);
  dt->setCalendarPopup(true);
  dt->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));

  LabeledEdit1 = MakeLabeledEdit(this, "LabeledEdit1", QStringLiteral("Nereden"),
                                 FromUtf8(target::SourceDatabaseName()), {24, 192, 113, 21});
  LabeledEdit2 = MakeLabeledEdit(this, "LabeledEdit2", QStringLiteral("Nereye "),
                                 FromUtf8(target::TargetDatabaseName()), {144, 192, 121, 21});
  LabeledEdit2->setEnabled(false);
  LabeledEdit3 = MakeLabeledEdit(this, "LabeledEdit3", QStringLiteral("Veritabanı yolu"),
                                 FromUtf8(target::kDefaultDataFolder), {24, 232, 241, 21});
  lveriyolu = MakeLabeledEdit(this, "lveriyolu", QStringLiteral("sifre"),
                              QStringLiteral("qolvanet"), {24, 272, 241, 21});
  lkullan = MakeLabeledEdit(this, "lkullan", QStringLiteral("kullanıcı adı"),
                            FromUtf8(transfer::kDefaultUser), {24, 312, 241, 21});

  // Below the last field, inside the client area; hidden until a click starts.
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(24, 339, 241, 13);
  Label1->hide();
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(24, 355, 241, 17);
  ProgressBar1->setRange(0, kProgressSteps);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();

  QWidget* const tab_order[] = {Button1,      Button2,      dt,        LabeledEdit1,
                                LabeledEdit2, LabeledEdit3, lveriyolu, lkullan};
  for (std::size_t i = 1; i < std::size(tab_order); ++i) {
    setTabOrder(tab_order[i - 1], tab_order[i]);
  }

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button1Click(Button2); });

  FormCreate();
}

TFdevir::~TFdevir() = default;

void TFdevir::FormCreate() {
  // Built from the year directly: reading "01.01.YYYY" back would depend on the system's
  // date separator.
  dt->setDate(QDate(clock_.Today().year(), 1, 1));
}

void TFdevir::Button1Click(QObject* sender) {
  Button1->setEnabled(false);
  Button2->setEnabled(false);
  // Until the click ends, however it ends (a test double's process end included).
  struct HandlingClick {
    bool& flag;
    explicit HandlingClick(bool& handling) : flag(handling) { flag = true; }
    ~HandlingClick() { flag = false; }
  } handling(handling_click_);
  Label1->show();
  ProgressBar1->show();
  SetStage(transfer::kConnectStage);
  try {
    server_ = ConnectToSource(
        C, [this] { return ReadSourceFields(); }, dialogs_);
    if (sender == Button2) {
      DetachTarget();
      return;
    }
    if (!TransferRun()) return;
  } catch (const std::exception& error) {
    dialogs_.ShowMessage(FromUtf8(stage_) + QStringLiteral("\r\n") +
                         QString::fromUtf8(error.what()));
  }
  dialogs_.ShowMessage(QStringLiteral("Bitti"));
  handling_click_ = false;
  close();
}

void TFdevir::closeEvent(QCloseEvent* event) {
  if (handling_click_) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void TFdevir::SetStage(std::string stage) {
  stage_ = std::move(stage);
  Label1->setText(FromUtf8(stage_));
  Repaint();
}

void TFdevir::ShowProgress(std::size_t run, std::size_t total) {
  const double part = total == 0 ? 1.0 : static_cast<double>(run) / static_cast<double>(total);
  ProgressBar1->setValue(static_cast<int>(part * kProgressSteps));
  ProgressBar1->setFormat(QStringLiteral("%1 / %2").arg(run).arg(total));
  ProgressBar1->setTextVisible(true);
  Repaint();
}

void TFdevir::Repaint() {
  // Paint and other posted events only: clicks and keys wait until the handler returns, so
  // that nothing starts a second click while this one runs.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

SourceFields TFdevir::ReadSourceFields() const {
  return {.database = LabeledEdit1->text().toStdString(),
          .user = lkullan->text().toStdString(),
          .password = lveriyolu->text().toStdString()};
}

db::ServerLogin TFdevir::Login() const {
  return {server_, lkullan->text().toStdString(), lveriyolu->text().toStdString()};
}

void TFdevir::DetachTarget() {
  target::DetachDatabase(C, Login(), LabeledEdit2->text().toStdString());
  Button1->setEnabled(true);
}

bool TFdevir::TransferRun() {
  const QDate date = dt->date();
  transfer::TransferSettings settings;
  settings.login = Login();
  settings.data_folder = LabeledEdit3->text().toStdString();
  settings.opening_date = {.year = date.year(), .month = date.month(), .day = date.day()};
  settings.target_year = target::kTargetYear;
  settings.trace_path = script::DefaultTracePath();
  settings.template_folders = target::TemplateFolderCandidates();
  settings.balance_sql = ADOQuery1.Sql();
  settings.source_database = LabeledEdit1->text().toStdString();
  settings.check_errors_first = true;
  settings.prove = true;

  transfer::TransferCallbacks callbacks;
  callbacks.set_stage = [this](const std::string& stage) { SetStage(stage); };
  callbacks.data_folder_changed = [this](const std::string& folder) {
    LabeledEdit3->setText(FromUtf8(folder));
  };
  callbacks.progress = [this](std::size_t run, std::size_t total) { ShowProgress(run, total); };
  transfer::TransferSummary summary;
  try {
    summary = transfer::TransferRun(C, Q, settings, callbacks);
  } catch (const db::ScriptLineError& error) {
    // The failing line in place of the stage; the click ends here, without "Bitti".
    dialogs_.ShowMessage(FromUtf8(error.Line()) + QStringLiteral("\r\n") +
                         QString::fromUtf8(error.what()));
    return false;
  }
  // A proof that holds says nothing; one that fails is shown like a failed step.
  if (summary.proof && !summary.proof->Passed()) {
    dialogs_.ShowMessage(
        FromUtf8(stage_) + QStringLiteral("\r\n") +
        FromUtf8(check::ProofFindingsText(*summary.proof, settings.source_database,
                                          target::TargetDatabaseName(settings.target_year))));
  }
  return true;
}

}  // namespace devir::app
