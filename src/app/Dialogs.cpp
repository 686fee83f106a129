#include "app/Dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "features/ConfigBackups.h"
#include "pages/PageWelderCfg.h"

#ifdef ORVAN_HAVE_PRINT
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#endif

namespace orvan::app {

namespace {

QTableWidget* ReadOnlyTable(int rows, const QStringList& header, QWidget* parent) {
    auto* grid = new QTableWidget(rows, static_cast<int>(header.size()), parent);
    grid->setHorizontalHeaderLabels(header);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    return grid;
}

}  // namespace

void TQtDialogs::Message(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool TQtDialogs::Question(const QString& caption, const QString& text) {
    return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> TQtDialogs::InputText(const QString& caption, const QString& prompt,
                                             const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent_, caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<TFileChoice> TQtDialogs::ChooseFile(const TFileRequest& request) {
    QFileDialog dlg(parent_, request.caption);
    dlg.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilters(request.filters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size())
        dlg.selectNameFilter(request.filters[request.filterIndex - 1]);
    dlg.setDefaultSuffix(request.defaultSuffix);
    if (request.save) {
        // A name typed without an extension takes the chosen filter's.
        QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
            dlg.setDefaultSuffix(filter.contains(QStringLiteral("*.log")) ? QStringLiteral("log")
                                                                          : QStringLiteral("wcf"));
        });
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    TFileChoice c;
    c.path = dlg.selectedFiles().front();
    c.filterIndex = static_cast<int>(request.filters.indexOf(dlg.selectedNameFilter())) + 1;
    return c;
}

int TQtDialogs::ChooseItem(const QString& caption, const QString& label, const QStringList& items) {
    bool ok = false;
    const QString pick = QInputDialog::getItem(parent_, caption, label, items, 0, false, &ok);
    return ok ? static_cast<int>(items.indexOf(pick)) : -1;
}

int TQtDialogs::ChooseBackup(const std::vector<features::TBackupEntry>& list) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(QStringLiteral("Backups"));
    auto* column = new QVBoxLayout(&dlg);
    column->addWidget(
        new QLabel(QStringLiteral("What each board held before a write, newest first:"), &dlg));
    auto* grid = ReadOnlyTable(
        static_cast<int>(list.size()),
        {QStringLiteral("Serial"), QStringLiteral("Time"), QStringLiteral("File")}, &dlg);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    for (std::size_t r = 0; r < list.size(); ++r) {
        const int row = static_cast<int>(r);
        grid->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(list[r].serial)));
        grid->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(list[r].timeText)));
        grid->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(list[r].path)));
    }
    grid->selectRow(0);
    grid->resizeColumnsToContents();
    grid->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Restore"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(grid, &QTableWidget::cellDoubleClicked, &dlg, &QDialog::accept);
    column->addWidget(buttons);
    // Fits a 1024x768 screen.
    dlg.resize(720, 360);
    return dlg.exec() == QDialog::Accepted ? grid->currentRow() : -1;
}

void TQtDialogs::ShowDifferences(const QString& caption,
                                 const std::vector<pages::TDifferenceRow>& rows) {
    QDialog dlg(parent_);
    dlg.setWindowTitle(caption);
    auto* column = new QVBoxLayout(&dlg);
    column->addWidget(new QLabel(
        QStringLiteral("%1 field(s) differ between the PC and the board:").arg(rows.size()), &dlg));
    auto* grid =
        ReadOnlyTable(static_cast<int>(rows.size()),
                      {QStringLiteral("Field"), QStringLiteral("PC"), QStringLiteral("Board"),
                       QStringLiteral("PC raw"), QStringLiteral("Board raw")},
                      &dlg);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const pages::TDifferenceRow& d = rows[r];
        const QString cells[5] = {d.where, d.pc, d.board, d.pcRaw, d.boardRaw};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(static_cast<int>(r), c, item);
        }
    }
    grid->resizeColumnsToContents();
    column->addWidget(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    column->addWidget(buttons);
    dlg.resize(900, 420);
    dlg.exec();
}

// The platform's dialogs only; nothing is printed from them.
void TQtDialogs::Print() {
#ifdef ORVAN_HAVE_PRINT
    QPrinter printer;
    QPrintDialog dlg(&printer, parent_);
    dlg.exec();
#endif
}

void TQtDialogs::PrintSetup() {
#ifdef ORVAN_HAVE_PRINT
    QPrinter printer;
    QPageSetupDialog dlg(&printer, parent_);
    dlg.exec();
#endif
}

}  // namespace orvan::app
