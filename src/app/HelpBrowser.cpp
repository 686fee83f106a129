#include "app/HelpBrowser.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <QUrl>
#include <QVBoxLayout>

namespace orvan::app {

QString ManualResourcePath() {
    return QStringLiteral(":/orvan/help/MANUAL.md");
}

QString ManualText() {
    QFile f(ManualResourcePath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

QStringList SectionsMatching(const QString& markdown, const QString& query) {
    const QStringList words = query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList found;
    if (words.isEmpty()) return found;
    QString heading;
    QString body;
    auto close = [&] {
        if (heading.isEmpty()) return;
        const QString all = heading + QLatin1Char('\n') + body;
        for (const QString& w : words)
            if (!all.contains(w, Qt::CaseInsensitive)) return;
        found.push_back(heading);
    };
    bool inCode = false;
    static const QRegularExpression kHeading(QStringLiteral("^#{1,6}\\s+(.*\\S)\\s*$"));
    for (const QString& line : markdown.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("```"))) inCode = !inCode;
        const QRegularExpressionMatch m = inCode ? QRegularExpressionMatch() : kHeading.match(line);
        if (m.hasMatch()) {
            close();
            heading = m.captured(1).remove(QLatin1Char('`'));
            body.clear();
        } else {
            body += line;
            body += QLatin1Char('\n');
        }
    }
    close();
    return found;
}

THelpBrowser::THelpBrowser(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpBrowser"));
    setWindowTitle(QStringLiteral("Orvan SuperVisor - Help"));
    setModal(false);
    resize(900, 680);

    searchBox_ = new QLineEdit(this);
    searchBox_->setObjectName(QStringLiteral("HelpSearch"));
    searchBox_->setPlaceholderText(QStringLiteral("Words to look for, then Enter"));
    searchBox_->setClearButtonEnabled(true);
    auto* contents = new QPushButton(QStringLiteral("Contents"), this);
    note_ = new QLabel(this);
    results_ = new QListWidget(this);
    results_->setObjectName(QStringLiteral("HelpResults"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpText"));
    browser_->setOpenExternalLinks(true);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Search:"), this));
    top->addWidget(searchBox_, 1);
    top->addWidget(contents);
    auto* split = new QSplitter(this);
    split->addWidget(results_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 4);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(note_);
    layout->addWidget(split, 1);

    markdown_ = ManualText();
    if (markdown_.isEmpty()) {
        browser_->setPlainText(QStringLiteral("This build of the program holds no manual."));
    } else {
        // Loaded as a resource so that the pictures beside it (manual/...)
        // are found relative to it.
        browser_->setSource(QUrl(QStringLiteral("qrc") + ManualResourcePath()),
                            QTextDocument::MarkdownResource);
    }
    connect(searchBox_, &QLineEdit::returnPressed, this, [this] { Search(searchBox_->text()); });
    connect(contents, &QPushButton::clicked, this, &THelpBrowser::ShowContents);
    connect(results_, &QListWidget::currentTextChanged, this,
            [this](const QString& h) { GoToSection(h); });
}

void THelpBrowser::ShowContents() {
    browser_->moveCursor(QTextCursor::Start);
    browser_->ensureCursorVisible();
    show();
    raise();
    activateWindow();
}

void THelpBrowser::ShowSearch(const QString& query) {
    show();
    raise();
    activateWindow();
    searchBox_->setFocus();
    if (!query.isEmpty()) {
        searchBox_->setText(query);
        Search(query);
    }
}

int THelpBrowser::Search(const QString& query) {
    const QStringList sections = SectionsMatching(markdown_, query);
    results_->blockSignals(true);
    results_->clear();
    results_->addItems(sections);
    results_->blockSignals(false);
    if (query.trimmed().isEmpty()) {
        note_->setText(QStringLiteral("Type the words to look for."));
    } else if (sections.isEmpty()) {
        note_->setText(
            QStringLiteral("No section of the manual holds \"%1\".").arg(query.trimmed()));
    } else {
        note_->setText(QStringLiteral("%1 section(s) hold \"%2\"; pick one on the left.")
                           .arg(sections.size())
                           .arg(query.trimmed()));
        results_->setCurrentRow(0);
        GoToSection(sections.front());
    }
    return static_cast<int>(sections.size());
}

bool THelpBrowser::GoToSection(const QString& heading) {
    if (heading.isEmpty()) return false;
    // Headings are looked for as whole blocks, so that a sentence quoting
    // one does not catch it.
    for (QTextBlock b = browser_->document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() > 0 && b.text().trimmed() == heading.trimmed()) {
            QTextCursor c(b);
            browser_->setTextCursor(c);
            // Heading at the top of the view rather than anywhere in it.
            browser_->moveCursor(QTextCursor::End);
            browser_->setTextCursor(c);
            browser_->ensureCursorVisible();
            return true;
        }
    }
    return false;
}

}  // namespace orvan::app
