#include "pages/PageWelderLog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "pages/ScrollBody.h"
#include "pages/TabOrder.h"

namespace orvan::pages {

namespace {

void SetText(QTableWidget* g, int row, int col, const QString& text) {
    QTableWidgetItem* item = g->item(row, col);
    if (!item) {
        item = new QTableWidgetItem();
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        g->setItem(row, col, item);
    }
    item->setText(text);
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

TPageWelderLog::TPageWelderLog(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tshWelderLog"));
    auto* body = ScrollBody(this);
    auto* l = new QVBoxLayout(body);
    btnReadEventLog = new QPushButton(QStringLiteral("Read event log"), body);
    btnReadEventLog->setObjectName(QStringLiteral("btnReadEventLog"));
    btnReadEventLog->setFixedWidth(140);
    l->addWidget(btnReadEventLog);
    strWelderLog = new QTableWidget(2, 4, body);
    strWelderLog->setObjectName(QStringLiteral("strWelderLog"));
    strWelderLog->horizontalHeader()->hide();
    strWelderLog->verticalHeader()->hide();
    strWelderLog->verticalHeader()->setDefaultSectionSize(20);
    strWelderLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    strWelderLog->setColumnWidth(0, 40);
    strWelderLog->setColumnWidth(1, 150);
    strWelderLog->setColumnWidth(2, 330);
    strWelderLog->setColumnWidth(3, 300);
    strWelderLog->setMinimumHeight(23 * 20 + 4);
    const char* captions[] = {"N", "Data/Time", "Value", "Description"};
    for (int c = 0; c < 4; ++c) {
        SetText(strWelderLog, 0, c, QString::fromLatin1(captions[c]));
        strWelderLog->item(0, c)->setBackground(QColor(0xE8, 0xE8, 0xE8));
    }
    l->addWidget(strWelderLog, 1);
    lblEventLogNote = new QLabel(body);
    lblEventLogNote->setObjectName(QStringLiteral("lblEventLogNote"));
    lblEventLogNote->setWordWrap(true);
    l->addWidget(lblEventLogNote);
    SetTabOrderByLayout(this);
}

void TPageWelderLog::OnEventLogRead(const features::TSequenceOutcome& outcome,
                                    const features::TEventLogDecode& log) {
    if (!outcome.completed) {
        lblEventLogNote->setText(
            QStringLiteral("Event log not read (%1): %2").arg(Q(outcome.where), Q(outcome.why)));
        return;
    }
    // The rows of a longer earlier log go: only this read's events are shown.
    strWelderLog->setRowCount(std::max<int>(2, static_cast<int>(log.lines.size()) + 1));
    for (int r = 1; r < strWelderLog->rowCount(); ++r)
        for (int c = 0; c < 4; ++c) SetText(strWelderLog, r, c, QString());
    for (const features::TEventLine& line : log.lines) {
        const int row = line.n + 1;
        SetText(strWelderLog, row, 0, QString::number(line.n));
        SetText(strWelderLog, row, 1, Q(line.dateTime));
        SetText(strWelderLog, row, 2, Q(line.value));
        SetText(strWelderLog, row, 3, Q(line.description));
    }
    if (!log.problem.empty())
        lblEventLogNote->setText(Q(log.problem));
    else if (log.lines.empty())
        lblEventLogNote->setText(QStringLiteral("The event log holds no events."));
    else
        lblEventLogNote->setText(QStringLiteral("%1 events.").arg(log.lines.size()));
}

}  // namespace orvan::pages
