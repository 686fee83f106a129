#pragma once
// The technician's manual inside the program: the Markdown file built into
// the program's resources (docs/MANUAL.md with its pictures), shown in a
// browser window with a search box. One window, kept for the session, so the
// place read last is where the manual opens again.

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;

namespace orvan::app {

// The manual's resource path and its text ("" when the build has none).
QString ManualResourcePath();
QString ManualText();

// The headings (without their '#') of the sections whose heading or text
// holds every word of `query`, case ignored, in the manual's order. Lines in
// code blocks are text too; an empty query finds nothing.
QStringList SectionsMatching(const QString& markdown, const QString& query);

class THelpBrowser : public QDialog {
  public:
    explicit THelpBrowser(QWidget* parent);

    // "&Contents": the manual from its top.
    void ShowContents();
    // "&Search for Help On...": the search box focused, `query` run when given.
    void ShowSearch(const QString& query = {});
    // Lists the sections holding `query` and moves to the first of them;
    // the number of sections found.
    int Search(const QString& query);
    // Moves the view to a section's heading; false when there is none.
    bool GoToSection(const QString& heading);

    QTextBrowser* Browser() const { return browser_; }
    QLineEdit* SearchBox() const { return searchBox_; }
    QListWidget* Results() const { return results_; }
    QLabel* SearchNote() const { return note_; }

  private:
    QTextBrowser* browser_;
    QLineEdit* searchBox_;
    QListWidget* results_;
    QLabel* note_;
    QString markdown_;
};

}  // namespace orvan::app
