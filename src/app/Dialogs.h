#pragma once
// Every message box, question, file dialog and chooser the window shows goes
// through IDialogs, so tests answer them with a recording fake and nothing
// modal ever opens under a test. TQtDialogs is the toolkit's version.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace orvan::features {
struct TBackupEntry;
}
namespace orvan::pages {
struct TDifferenceRow;
}

namespace orvan::app {

// A file dialog as the window asks for it; filter indices count from 1.
struct TFileRequest {
    bool save = false;
    QString caption;
    QStringList filters;  // "File configurazione (*.wcf)"
    int filterIndex = 1;
    QString defaultSuffix;
};
struct TFileChoice {
    QString path;
    int filterIndex = 1;
};

class IDialogs {
  public:
    virtual ~IDialogs() = default;
    // A message box with one OK button; returns once the user closed it.
    virtual void Message(const QString& caption, const QString& text) = 0;
    // Yes/No; true is Yes. No is the default answer.
    virtual bool Question(const QString& caption, const QString& text) = 0;
    // nullopt is Cancel.
    virtual std::optional<TFileChoice> ChooseFile(const TFileRequest& request) = 0;
    // One line of text typed in an input box; nullopt is Cancel.
    virtual std::optional<QString> InputText(const QString& caption, const QString& prompt,
                                             const QString& initial) = 0;
    // One of `items` (index), or -1 for Cancel.
    virtual int ChooseItem(const QString& caption, const QString& label,
                           const QStringList& items) = 0;
    // A network address typed, or picked among `recent` (newest first);
    // nullopt is Cancel. Without a dialog of its own: an input box holding
    // the newest.
    virtual std::optional<QString> ChooseAddress(const QString& caption, const QString& prompt,
                                                 const QStringList& recent) {
        return InputText(caption, prompt, recent.isEmpty() ? QString() : recent.front());
    }
    // The backups newest first; the index to restore, or -1.
    virtual int ChooseBackup(const std::vector<features::TBackupEntry>& backups) = 0;
    // The fields that differ between the PC and the board.
    virtual void ShowDifferences(const QString& caption,
                                 const std::vector<pages::TDifferenceRow>& rows) = 0;
    // The platform's print and printer set-up dialogs.
    virtual void Print() = 0;
    virtual void PrintSetup() = 0;
};

class TQtDialogs : public IDialogs {
  public:
    explicit TQtDialogs(QWidget* parent) : parent_(parent) {}

    void Message(const QString& caption, const QString& text) override;
    bool Question(const QString& caption, const QString& text) override;
    std::optional<TFileChoice> ChooseFile(const TFileRequest& request) override;
    std::optional<QString> InputText(const QString& caption, const QString& prompt,
                                     const QString& initial) override;
    int ChooseItem(const QString& caption, const QString& label, const QStringList& items) override;
    // NetBoardDialog.cpp: an address field with the recent ones to pick.
    std::optional<QString> ChooseAddress(const QString& caption, const QString& prompt,
                                         const QStringList& recent) override;
    int ChooseBackup(const std::vector<features::TBackupEntry>& backups) override;
    void ShowDifferences(const QString& caption,
                         const std::vector<pages::TDifferenceRow>& rows) override;
    void Print() override;
    void PrintSetup() override;

  private:
    QWidget* parent_;
};

}  // namespace orvan::app
