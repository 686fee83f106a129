// "Settings / Port / Network board...": the address of a serial device server,
// typed or picked among the recent ones.

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/Dialogs.h"

namespace orvan::app {

std::optional<QString> TQtDialogs::ChooseAddress(const QString& caption, const QString& prompt,
                                                 const QStringList& recent) {
    QDialog d(parent_);
    d.setObjectName(QStringLiteral("NetBoardDialog"));
    d.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&d);
    layout->addWidget(new QLabel(prompt, &d));
    auto* address = new QComboBox(&d);
    address->setObjectName(QStringLiteral("cmbNetAddress"));
    address->setEditable(true);
    address->setInsertPolicy(QComboBox::NoInsert);
    address->addItems(recent);
    address->setMinimumContentsLength(36);
    address->lineEdit()->setPlaceholderText(
        QStringLiteral("tcp://HOST:PORT or rfc2217://HOST:PORT"));
    layout->addWidget(address);
    auto* hint = new QLabel(
        QStringLiteral("tcp://HOST:PORT  a raw TCP port: the line speed is set on the server\n"
                       "rfc2217://HOST:PORT  RFC 2217 (telnet): the speed of the Speed menu is "
                       "set from here"),
        &d);
    hint->setEnabled(false);
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    layout->addWidget(buttons);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return address->currentText();
}

}  // namespace orvan::app
