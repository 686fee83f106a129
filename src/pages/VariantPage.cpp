#include "pages/VariantPage.h"

#include <cmath>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>

#include "pages/ScrollBody.h"

namespace orvan::pages {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Every value of a field with the same number of decimals, whatever the
// value: a step of the arrows or an answer never changes how the field reads.
QString FieldText(const features::TFieldSpec& f, double value, char separator) {
    const int decimals = f.integer ? 0 : f.decimals;
    // A value that rounds to zero reads "0.00", never "-0.00".
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
    QString t = QString::number(value, 'f', decimals);
    t.replace(QLatin1Char('.'), QLatin1Char(separator));
    return t;
}

}  // namespace

TUpDown::TUpDown(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(name));
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    up = new QToolButton(this);
    down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
        b->setFixedSize(18, 12);
        l->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { emit Clicked(true); });
    connect(down, &QToolButton::clicked, this, [this] { emit Clicked(false); });
}

TVariantPage::TVariantPage(const char* objectName, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(objectName));
    QWidget* body = ScrollBody(this);
    auto* column = new QVBoxLayout(body);
    lblNotServed = new QLabel(body);
    lblNotServed->setObjectName(QStringLiteral("lblNotServed"));
    lblNotServed->setWordWrap(true);
    lblNotServed->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
    lblNotServed->hide();
    column->addWidget(lblNotServed);
    lblNote = new QLabel(body);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    lblNote->hide();
    column->addWidget(lblNote);
    content_ = new QWidget(body);
    column->addWidget(content_);
    column->addStretch(1);
}

QLineEdit* TVariantPage::Edit(QWidget* parent, const char* name, const char* initial, int width) {
    auto* e = new QLineEdit(QString::fromLatin1(initial), parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaximumWidth(width);
    e->setAlignment(Qt::AlignRight);
    e->installEventFilter(this);
    edits_[name] = e;
    initial_[name] = initial;
    return e;
}

bool TVariantPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) emit EditDoubleClicked(watched->objectName());
    return QWidget::eventFilter(watched, event);
}

void TVariantPage::Attach(const features::TVariableForm& form, char decimalSeparator) {
    form_ = &form;
    decimal_ = decimalSeparator;
    for (const auto& [name, text] : initial_) {
        if (const features::TFieldSpec* f = form.Field(name)) {
            edits_[name]->setText(FieldText(*f, f->initial, decimal_));
            continue;
        }
        std::string t = text;
        for (char& c : t)
            if (c == '.') c = decimal_;
        edits_[name]->setText(Q(t));
    }
}

QLineEdit* TVariantPage::EditOf(const std::string& field) const {
    const auto it = edits_.find(field);
    return it == edits_.end() ? nullptr : it->second;
}

std::string TVariantPage::Text(const std::string& field) const {
    const QLineEdit* e = EditOf(field);
    return e ? e->text().toStdString() : std::string();
}

std::map<std::string, std::string> TVariantPage::Texts(
    std::initializer_list<const char*> fields) const {
    std::map<std::string, std::string> m;
    for (const char* f : fields) m[f] = Text(f);
    return m;
}

QString TVariantPage::ValueText(const std::string& field, double value) const {
    const features::TFieldSpec* f = form_ ? form_->Field(field) : nullptr;
    return f ? FieldText(*f, value, decimal_) : Q(features::VariantNumberText(value, 3, decimal_));
}

void TVariantPage::ShowValue(const std::string& field, double value) {
    QLineEdit* e = EditOf(field);
    if (e == nullptr) return;
    e->setText(ValueText(field, value));
    e->setModified(false);
}

void TVariantPage::ShowServed(bool served, const std::string& why) {
    lblNotServed->setText(Q(why));
    lblNotServed->setVisible(!served);
    content_->setEnabled(served);
}

void TVariantPage::ShowAcknowledged(const std::vector<std::pair<std::string, double>>& written) {
    QStringList parts;
    for (const auto& [field, value] : written) {
        const features::TFieldSpec* f = form_ ? form_->Field(field) : nullptr;
        parts << (f ? Q(features::FieldName(*f)) : Q(field)) + QLatin1Char(' ') +
                     ValueText(field, value);
    }
    ShowNote(QStringLiteral("The board acknowledged ") + parts.join(QStringLiteral(", ")));
}

void TVariantPage::ShowNote(const QString& text) {
    lblNote->setText(text);
    lblNote->setVisible(!text.isEmpty());
}

}  // namespace orvan::pages
