// The window as it opens: every field's place, default, label, tab order and enabled state,
// and the date FormCreate sets.
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QDateEdit>
#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/fdevir.h"
#include "app/labeled_edit.h"
#include "tests/app/scripted_dialogs.h"

namespace devir::app {
namespace {

using testing::FixedClock;
using testing::ScriptedDialogs;

class WindowLayoutTest : public ::testing::Test {
 protected:
  ScriptedDialogs dialogs_;
  FixedClock clock_{QDate(2018, 6, 15)};
  TFdevir window_{dialogs_, clock_};
};

TEST_F(WindowLayoutTest, WindowHasItsCaptionSizePlaceColourAndFont) {
  EXPECT_EQ(window_.objectName(), "Fdevir");
  EXPECT_EQ(window_.windowTitle(), "Devir-2017");
  EXPECT_EQ(window_.size(), QSize(323, 380));
  EXPECT_EQ(window_.pos(), QPoint(502, 146));
  EXPECT_TRUE(window_.autoFillBackground());
  EXPECT_EQ(window_.palette().color(QPalette::Window), QColor(236, 238, 242));
  EXPECT_EQ(window_.font().pointSize(), 8);
  const QString family = QFontDatabase::hasFamily("MS Sans Serif")
                             ? QString("MS Sans Serif")
                             : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  EXPECT_EQ(window_.font().family(), family);
}

TEST_F(WindowLayoutTest, ButtonsHaveTheirCaptionsAndPlaces) {
  struct Case {
    const char* name;
    QRect geometry;
    QString caption;
  };
  const Case cases[] = {
      {"Button1", {18, 45, 235, 127}, "Devir işlemine başlamak için tıklayın"},
      {"Button2", {178, 8, 75, 25}, "DB Sil"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* button = window_.findChild<QPushButton*>(c.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), c.geometry);
    EXPECT_EQ(button->text(), c.caption);
    EXPECT_TRUE(button->isEnabled());
  }
  EXPECT_EQ(window_.findChild<QPushButton*>("Button1"), window_.Button1);
  EXPECT_EQ(window_.findChild<QPushButton*>("Button2"), window_.Button2);
}

TEST_F(WindowLayoutTest, LabeledEditsHaveTheirPlacesLabelsDefaultsAndStates) {
  struct Case {
    const char* name;
    QRect geometry;
    QString label;
    QString text;
    bool enabled;
  };
#ifdef _WIN32
  const QString data_folder = "C:\\Miltoran\\Data\\";
#else
  const QString data_folder = "/var/opt/mssql/data/";
#endif
  const Case cases[] = {
      {"LabeledEdit1", {24, 192, 113, 21}, "Nereden", "E2017", true},
      {"LabeledEdit2", {144, 192, 121, 21}, "Nereye ", "E2018", false},
      {"LabeledEdit3", {24, 232, 241, 21}, "Veritabanı yolu", data_folder, true},
      {"lveriyolu", {24, 272, 241, 21}, "sifre", "qolvanet", true},
      {"lkullan", {24, 312, 241, 21}, "kullanıcı adı", "sa", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* edit = window_.findChild<TLabeledEdit*>(c.name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), c.geometry);
    EXPECT_EQ(edit->text(), c.text);
    EXPECT_EQ(edit->isEnabled(), c.enabled);
    // Every field shows its text as typed, the password included.
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);

    QLabel* label = edit->EditLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->objectName(), QString(c.name) + "Label");
    EXPECT_EQ(label->parentWidget(), &window_);
    EXPECT_EQ(label->text(), c.label);
    EXPECT_EQ(label->isEnabled(), c.enabled);
    // Drawn above the edit, left-aligned with it, the caption wholly visible.
    EXPECT_EQ(label->x(), c.geometry.x());
    EXPECT_EQ(label->geometry().bottom() + 1 + TLabeledEdit::kLabelSpacing, c.geometry.y());
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(c.label));
    EXPECT_GE(label->height(), label->fontMetrics().height());
  }
}

TEST_F(WindowLayoutTest, StageAndProgressWaitHiddenBelowTheFieldsInsideTheWindow) {
  ASSERT_EQ(window_.findChild<QLabel*>("Label1"), window_.Label1);
  ASSERT_EQ(window_.findChild<QProgressBar*>("ProgressBar1"), window_.ProgressBar1);
  window_.show();
  for (QWidget* widget :
       {static_cast<QWidget*>(window_.Label1), static_cast<QWidget*>(window_.ProgressBar1)}) {
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_FALSE(widget->isVisible());
    EXPECT_GT(widget->y(), window_.lkullan->geometry().bottom());
    EXPECT_LE(widget->geometry().bottom(), 379);
    EXPECT_EQ(widget->x(), window_.lkullan->x());
    EXPECT_EQ(widget->width(), window_.lkullan->width());
  }
  EXPECT_EQ(window_.Label1->text(), "");
  EXPECT_EQ(window_.ProgressBar1->value(), 0);
}

TEST_F(WindowLayoutTest, LabelsFollowTheirEditsWhenMoved) {
  window_.show();
  window_.LabeledEdit3->move(40, 250);
  QLabel* label = window_.LabeledEdit3->EditLabel();
  EXPECT_EQ(label->x(), 40);
  EXPECT_EQ(label->geometry().bottom() + 1 + TLabeledEdit::kLabelSpacing, 250);
}

TEST_F(WindowLayoutTest, DatePickerHasItsPlaceAndACalendar) {
  ASSERT_EQ(window_.findChild<QDateEdit*>("dt"), window_.dt);
  EXPECT_EQ(window_.dt->geometry(), QRect(18, 9, 145, 21));
  EXPECT_TRUE(window_.dt->calendarPopup());
  EXPECT_NE(window_.dt->calendarWidget(), nullptr);
}

TEST_F(WindowLayoutTest, TabOrderFollowsTheFieldList) {
  const QStringList fields = {"Button1",      "Button2",      "dt",        "LabeledEdit1",
                              "LabeledEdit2", "LabeledEdit3", "lveriyolu", "lkullan"};
  QStringList order;
  QWidget* widget = window_.Button1;
  do {
    if (fields.contains(widget->objectName()) && !order.contains(widget->objectName())) {
      order.append(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  } while (widget != window_.Button1);
  EXPECT_EQ(order, fields);
}

TEST_F(WindowLayoutTest, FormCreateSetsFirstJanuaryOfTheClocksYear) {
  // The clock reads 15 June 2018.
  EXPECT_EQ(window_.dt->date(), QDate(2018, 1, 1));
}

}  // namespace
}  // namespace devir::app
