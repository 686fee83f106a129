#pragma once
// The common body of the machine pages: a note that says when the connected
// board has no such machine, the edits named as the controller names their
// fields (filled from its numbers, in the user's decimal separator), and the
// up/down button pairs.

#include <QWidget>
#include <map>
#include <string>

#include "features/VariantForm.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace orvan::pages {

// An up/down button pair (the technicians' "udb..." controls).
class TUpDown : public QWidget {
    Q_OBJECT
  public:
    TUpDown(const char* name, QWidget* parent);
    QToolButton* up;
    QToolButton* down;
  signals:
    void Clicked(bool up);
};

class TVariantPage : public QWidget, public virtual features::IVariantView {
    Q_OBJECT
  public:
    // The controller's fields and the user's decimal separator; the initial
    // texts are shown in that separator from now on.
    void Attach(const features::TVariableForm& form, char decimalSeparator);
    char DecimalSeparator() const { return decimal_; }

    // The text of an edit of this page ("" for an unknown name).
    std::string Text(const std::string& field) const;
    // field -> text for each of the fields.
    std::map<std::string, std::string> Texts(std::initializer_list<const char*> fields) const;
    QLineEdit* EditOf(const std::string& field) const;
    // A value as the field shows it (its decimals, the user's separator).
    QString ValueText(const std::string& field, double value) const;

    void ShowValue(const std::string& field, double value) override;
    void ShowServed(bool served, const std::string& why) override;
    // "The board acknowledged Fequenza (kHz) 12.5": the note says what was
    // written, as the fields show it.
    void ShowAcknowledged(const std::vector<std::pair<std::string, double>>& written) override;
    // A note under the page's caption ("" hides it).
    void ShowNote(const QString& text);

    QLabel* lblNotServed;
    QLabel* lblNote;

  signals:
    // A double click on one of the page's edits.
    void EditDoubleClicked(const QString& field);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    TVariantPage(const char* objectName, QWidget* parent);
    // The widget the controls go in (disabled while the board has no such
    // machine).
    QWidget* Content() const { return content_; }
    // An edit with its initial text ('.' stands for the decimal separator).
    QLineEdit* Edit(QWidget* parent, const char* name, const char* initial, int width = 70);

  private:
    QWidget* content_;
    const features::TVariableForm* form_ = nullptr;
    char decimal_ = '.';
    std::map<std::string, QLineEdit*> edits_;
    std::map<std::string, std::string> initial_;
};

}  // namespace orvan::pages
