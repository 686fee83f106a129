#include "app/BoardHistoryDialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/QtText.h"

namespace orvan::app {

namespace {

QTableWidget* Table(QWidget* parent, const QStringList& headers, const char* name) {
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void Row(QTableWidget* t, const std::vector<std::string>& cells) {
    const int r = t->rowCount();
    t->insertRow(r);
    for (std::size_t c = 0; c < cells.size(); ++c)
        t->setItem(r, static_cast<int>(c), new QTableWidgetItem(Q(cells[c])));
}

std::string ValueCell(std::int32_t raw, double value, bool eng) {
    if (!eng) return std::to_string(raw);
    char v[48];
    std::snprintf(v, sizeof v, "%.6g (%d)", value, static_cast<int>(raw));
    return v;
}

}  // namespace

TBoardHistoryDialog::TBoardHistoryDialog(features::THistory& history, TRestore restore,
                                         QWidget* parent)
    : QDialog(parent), history_(history), restore_(std::move(restore)) {
    setObjectName(QStringLiteral("BoardHistoryDialog"));
    setWindowTitle(QStringLiteral("Board history"));
    boards_ = Table(this, {"Serial", "Type", "Firmware", "Last seen", "First seen", "Records"},
                    "BoardHistoryBoards");
    boards_->setSelectionMode(QAbstractItemView::SingleSelection);
    timeline_ = Table(this, {"Id", "Time", "Operation", "Outcome", "Snapshots", "By"},
                      "BoardHistoryTimeline");
    timeline_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    diff_ = Table(this, {"Section", "Field", "First", "Second", "Unit"}, "BoardHistoryDifferences");
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    restoreButton_ = new QPushButton(QStringLiteral("Restore this"), this);
    restoreButton_->setObjectName(QStringLiteral("BoardHistoryRestore"));
    restoreButton_->setToolTip(
        QStringLiteral("Write the selected record's configuration to the board; what the board "
                       "holds is kept as a backup first"));
    restoreButton_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("Close"), this);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(boards_);
    split->addWidget(timeline_);
    split->addWidget(diff_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(note_, 1);
    buttons->addWidget(restoreButton_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(900, 640);

    connect(boards_, &QTableWidget::itemSelectionChanged, this, [this] { ShowTimeline(); });
    connect(timeline_, &QTableWidget::itemSelectionChanged, this, [this] { ShowDifferences(); });
    connect(restoreButton_, &QPushButton::clicked, this, [this] { RestoreSelected(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    FillBoards();
}

void TBoardHistoryDialog::FillBoards() {
    std::vector<features::THistoryBoard> boards;
    if (const features::THistoryResult r = history_.Boards(boards); !r) {
        note_->setText(Q(r.why));
        return;
    }
    for (const auto& b : boards) {
        char type[8];
        std::snprintf(type, sizeof type, "%04X", b.boardType);
        Row(boards_,
            {b.serial, b.boardType ? type : "", b.firmware, features::HistoryTimeText(b.lastSeenMs),
             features::HistoryTimeText(b.firstSeenMs), std::to_string(b.records)});
    }
    if (boards.empty()) {
        note_->setText(QStringLiteral("No board in the history yet."));
        return;
    }
    // The board seen last is the one just serviced (the service report
    // sends the technician here for its timeline).
    boards_->selectRow(0);
}

void TBoardHistoryDialog::ShowTimeline() {
    timeline_->setRowCount(0);
    diff_->setRowCount(0);
    records_.clear();
    const auto picked = boards_->selectedItems();
    if (picked.isEmpty()) return;
    const std::string serial = boards_->item(picked.front()->row(), 0)->text().toStdString();
    if (const features::THistoryResult r = history_.Timeline(serial, records_); !r) {
        note_->setText(Q(r.why));
        return;
    }
    for (const auto& rec : records_) {
        std::string roles;
        for (const auto& s : rec.snapshots) roles += (roles.empty() ? "" : ", ") + s.role;
        Row(timeline_, {std::to_string(rec.id), features::HistoryTimeText(rec.timeMs),
                        rec.operation, rec.outcome, roles, rec.user + "@" + rec.host});
    }
    note_->setText(
        QStringLiteral("Select one record to restore its configuration, or two to "
                       "compare them."));
}

std::vector<std::int64_t> TBoardHistoryDialog::SelectedIds() const {
    std::vector<int> rows;
    for (const QTableWidgetItem* i : timeline_->selectedItems())
        if (std::find(rows.begin(), rows.end(), i->row()) == rows.end()) rows.push_back(i->row());
    std::sort(rows.begin(), rows.end());
    std::vector<std::int64_t> ids;
    // Older first: the timeline shows the newest at the top.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        ids.push_back(records_.at(static_cast<std::size_t>(*it)).id);
    return ids;
}

void TBoardHistoryDialog::ShowDifferences() {
    diff_->setRowCount(0);
    const std::vector<std::int64_t> ids = SelectedIds();
    restoreButton_->setEnabled(false);
    if (ids.size() == 1) {
        features::THistoryRecord whole;
        const bool has = history_.Record(ids[0], whole) && features::ConfigurationOf(whole);
        restoreButton_->setEnabled(has && restore_ != nullptr);
        note_->setText(has ? QStringLiteral("Record %1 holds a configuration.").arg(ids[0])
                           : QStringLiteral("Record %1 holds no configuration.").arg(ids[0]));
        return;
    }
    if (ids.size() != 2) return;
    std::vector<features::TFieldDifference> d;
    if (const features::THistoryResult r = history_.Diff(ids[0], ids[1], d); !r) {
        note_->setText(Q(r.why));
        return;
    }
    for (const auto& x : d)
        Row(diff_, {x.section, x.key, ValueCell(x.pcRaw, x.pcValue, x.engineering),
                    ValueCell(x.boardRaw, x.boardValue, x.engineering), x.unit});
    note_->setText(d.empty() ? QStringLiteral("The two configurations are identical.")
                             : QStringLiteral("%1 field(s) differ between record %2 and record %3.")
                                   .arg(d.size())
                                   .arg(ids[0])
                                   .arg(ids[1]));
}

void TBoardHistoryDialog::RestoreSelected() {
    const std::vector<std::int64_t> ids = SelectedIds();
    if (ids.size() != 1 || !restore_) return;
    features::THistoryRecord whole;
    if (const features::THistoryResult r = history_.Record(ids[0], whole); !r) {
        note_->setText(Q(r.why));
        return;
    }
    const features::THistorySnapshot* s = features::ConfigurationOf(whole);
    if (s == nullptr || s->image.size() != config::kImageSize) return;
    std::array<std::uint8_t, config::kImageSize> image{};
    std::copy(s->image.begin(), s->image.end(), image.begin());
    accept();
    restore_(image, whole.serial);
}

void AddBoardHistoryItem(QMenu* menu, QAction* before, QWidget* parent, features::THistory& history,
                         TBoardHistoryDialog::TRestore restore) {
    auto* a = new QAction(QStringLiteral("Board history..."), menu);
    menu->insertAction(before, a);
    a->setObjectName(QStringLiteral("FileBoardHistoryItem"));
    a->setStatusTip(
        QStringLiteral("Every board met, every change made, and any configuration "
                       "seen, to compare or restore"));
    QObject::connect(a, &QAction::triggered, parent, [parent, &history, restore] {
        TBoardHistoryDialog dialog(history, restore, parent);
        dialog.exec();
    });
}

}  // namespace orvan::app
