#pragma once
// The window's dialogs for tests: every box, question, file dialog and chooser
// is recorded and answered from the fields below, so nothing modal opens.

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "features/ConfigBackups.h"
#include "pages/PageWelderCfg.h"

namespace orvan::test {

class TRecordingDialogs : public app::IDialogs {
  public:
    // What was shown, in order.
    std::vector<std::string> messages;   // "caption | text"
    std::vector<std::string> questions;  // the question's text
    std::vector<app::TFileRequest> requests;
    std::vector<pages::TDifferenceRow> differences;  // the last verify table
    std::vector<std::vector<features::TBackupEntry>> backupLists;
    std::vector<QStringList> itemLists;
    std::vector<std::string> prompts;  // "caption | prompt" of every input box
    int prints = 0, printSetups = 0;

    // The answers.
    bool answer = true;                // to every question
    std::string chosen;                // the file picked; empty is Cancel
    int backupPick = -1;               // index into the list, -1 is Cancel
    int itemPick = -1;                 // index into the items, -1 is Cancel
    std::optional<std::string> typed;  // the text typed in an input box; nullopt is Cancel
    // Run while the box is open (after it was recorded).
    std::function<void(const QString& caption, const QString& text)> whileMessage;
    std::function<void(const QString& caption, const QString& text)> whileQuestion;

    void Message(const QString& caption, const QString& text) override {
        messages.push_back((caption + QStringLiteral(" | ") + text).toStdString());
        if (whileMessage) whileMessage(caption, text);
    }
    bool Question(const QString& caption, const QString& text) override {
        questions.push_back(text.toStdString());
        if (whileQuestion) whileQuestion(caption, text);
        return answer;
    }
    std::optional<app::TFileChoice> ChooseFile(const app::TFileRequest& request) override {
        requests.push_back(request);
        if (chosen.empty()) return std::nullopt;
        return app::TFileChoice{QString::fromStdString(chosen), 1};
    }
    std::optional<QString> InputText(const QString& caption, const QString& prompt,
                                     const QString&) override {
        prompts.push_back((caption + QStringLiteral(" | ") + prompt).toStdString());
        if (!typed) return std::nullopt;
        return QString::fromStdString(*typed);
    }
    int ChooseItem(const QString&, const QString&, const QStringList& items) override {
        itemLists.push_back(items);
        return itemPick;
    }
    int ChooseBackup(const std::vector<features::TBackupEntry>& backups) override {
        backupLists.push_back(backups);
        return backupPick;
    }
    void ShowDifferences(const QString&, const std::vector<pages::TDifferenceRow>& rows) override {
        differences = rows;
    }
    void Print() override { ++prints; }
    void PrintSetup() override { ++printSetups; }
};

}  // namespace orvan::test
