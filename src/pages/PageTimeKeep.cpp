#include "pages/PageTimeKeep.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

QLineEdit* TimeEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(QStringLiteral("00"), parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(2);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

TPageTimeKeep::TPageTimeKeep(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshTimeKeep"));
    QWidget* body = ScrollBody(this);
    auto* column = new QVBoxLayout(body);

    auto* group = new QGroupBox(QStringLiteral("Date/Time Info "), body);
    group->setObjectName(QStringLiteral("grbTimeKeep"));
    auto* grid = new QGridLayout(group);

    calOrvanDate = new QCalendarWidget(group);
    calOrvanDate->setObjectName(QStringLiteral("calOrvanDate"));
    calOrvanDate->setGridVisible(true);
    grid->addWidget(calOrvanDate, 0, 0, 4, 1);

    auto* time = new QHBoxLayout();
    edtHours = TimeEdit(group, "edtHours");
    edtMinutes = TimeEdit(group, "edtMinutes");
    edtSeconds = TimeEdit(group, "edtSeconds");
    const std::pair<const char*, QLineEdit*> fields[] = {
        {"Hour", edtHours}, {"Min", edtMinutes}, {"Sec", edtSeconds}};
    for (const auto& [caption, edit] : fields) {
        auto* cell = new QVBoxLayout();
        cell->addWidget(new QLabel(QString::fromLatin1(caption), group));
        cell->addWidget(edit);
        time->addLayout(cell);
    }
    time->addStretch(1);
    grid->addLayout(time, 0, 1);

    cmdGetOrvanTime = Button(group, "cmdGetOrvanTime", "Get board time");
    cmdGetPcTime = Button(group, "cmdGetPcTime", "Get PC Time");
    cmdSetOrvanTime = Button(group, "cmdSetOrvanTime", "Set board Data/Time");
    auto* buttons = new QVBoxLayout();
    buttons->addWidget(cmdGetOrvanTime);
    buttons->addWidget(cmdGetPcTime);
    buttons->addWidget(cmdSetOrvanTime);
    grid->addLayout(buttons, 1, 1);

    auto* run = new QHBoxLayout();
    chkTKClockEN = new QCheckBox(QStringLiteral("Time keeper Enable"), group);
    chkTKClockEN->setObjectName(QStringLiteral("chkTKClockEN"));
    cmdSetTKClockHalt = Button(group, "cmdSetTKClockHalt", "Set");
    run->addWidget(chkTKClockEN);
    run->addWidget(cmdSetTKClockHalt);
    run->addStretch(1);
    grid->addLayout(run, 2, 1);

    lblClockProblem = new QLabel(group);
    lblClockProblem->setObjectName(QStringLiteral("lblClockProblem"));
    lblClockProblem->setWordWrap(true);
    lblClockProblem->setStyleSheet(QStringLiteral("color: #B00000;"));
    grid->addWidget(lblClockProblem, 3, 1);
    grid->setColumnStretch(1, 1);

    column->addWidget(group);
    column->addStretch(1);
    SetTabOrderByLayout(this);
}

features::TDate TPageTimeKeep::Date() const {
    const QDate d = calOrvanDate->selectedDate();
    return {d.year(), d.month(), d.day()};
}

features::TTimeTexts TPageTimeKeep::TimeTexts() const {
    return {edtHours->text().toStdString(), edtMinutes->text().toStdString(),
            edtSeconds->text().toStdString()};
}

QString TPageTimeKeep::Problem() const {
    return lblClockProblem->text();
}

void TPageTimeKeep::ShowTime(int h, int m, int s) {
    edtHours->setText(QString::number(h));
    edtMinutes->setText(QString::number(m));
    edtSeconds->setText(QString::number(s));
}

void TPageTimeKeep::ShowPcTime(const features::TLocalNow& now) {
    calOrvanDate->setSelectedDate(QDate(now.date.year, now.date.month, now.date.day));
    ShowTime(now.time.hours, now.time.minutes, now.time.seconds);
}

void TPageTimeKeep::ShowBoardTime(const features::TTimeOfDay& t) {
    ShowTime(t.hours, t.minutes, t.seconds);
    lblClockProblem->clear();
}

void TPageTimeKeep::ShowBoardDate(const features::TDate& d) {
    calOrvanDate->setSelectedDate(QDate(d.year, d.month, d.day));
    calOrvanDate->setCurrentPage(d.year, d.month);
}

void TPageTimeKeep::ShowClockRunning(bool running) {
    chkTKClockEN->setChecked(running);
}

void TPageTimeKeep::ShowClockProblem(const std::string& text) {
    lblClockProblem->setText(QString::fromStdString(text));
}

}  // namespace orvan::pages
