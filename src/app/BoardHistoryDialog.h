#pragma once
// "Board history...": the boards the program met, a board's timeline, the
// differences of two configurations of it field by field (captions and
// units from the configuration's field table), and "Restore this", which
// hands the chosen configuration to the window to write through the
// configuration write (backup first, as every write).

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "config/Cfgwelder.h"
#include "features/History.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;

namespace orvan::app {

class TBoardHistoryDialog : public QDialog {
  public:
    using TRestore = std::function<void(const std::array<std::uint8_t, config::kImageSize>&,
                                        const std::string&)>;
    TBoardHistoryDialog(features::THistory& history, TRestore restore, QWidget* parent = nullptr);

    // What the dialog shows, for tests.
    QTableWidget* Boards() const { return boards_; }
    QTableWidget* Timeline() const { return timeline_; }
    QTableWidget* Differences() const { return diff_; }
    QPushButton* RestoreButton() const { return restoreButton_; }
    QLabel* Note() const { return note_; }

  private:
    void FillBoards();
    void ShowTimeline();
    void ShowDifferences();
    void RestoreSelected();
    std::vector<std::int64_t> SelectedIds() const;

    features::THistory& history_;
    TRestore restore_;
    std::vector<features::THistoryRecord> records_;
    QTableWidget* boards_ = nullptr;
    QTableWidget* timeline_ = nullptr;
    QTableWidget* diff_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QLabel* note_ = nullptr;
};

// The "Board history..." item of `menu` (before `before`, or last): opens
// the dialog on `history`.
void AddBoardHistoryItem(QMenu* menu, QAction* before, QWidget* parent, features::THistory& history,
                         TBoardHistoryDialog::TRestore restore);

}  // namespace orvan::app
