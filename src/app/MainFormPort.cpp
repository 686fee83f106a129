// The window's port and speed choice: the Settings menus, the serial devices
// found on this machine, and the search for a board among them.

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <algorithm>

#include "app/Config.h"
#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardFinder.h"
#include "link/NetAddress.h"
#include "link/SerialDevices.h"

namespace orvan::app {

std::string TMainForm::ActivePortName() const {
    if (!sessionDevice_.empty()) return sessionDevice_;
    if (!config_) return {};
    if (!config_->device.empty()) return config_->device;
    return "COM" + std::to_string(config_->port);
}

void TMainForm::OpenConfiguredPort() {
    const std::string name = ActivePortName();
    // As technicians expect, a port that does not open opens no box here: the
    // link stays closed, and the status bar says why (absent, busy, no access).
    const std::int32_t rc =
        options_.port == nullptr ? port_.OpenPort(name.c_str(), config_->speed, 0) : link::kOpenOk;
    trace_.push_back("open port " + name);
    for (QAction* a : speedGroup_->actions()) a->setChecked(a->data().toInt() == config_->speed);
    const bool byNumber = sessionDevice_.empty() && config_->device.empty();
    for (QAction* a : portGroup_->actions()) {
        const QVariant d = a->data();
        a->setChecked(byNumber ? (d.userType() == QMetaType::Int && d.toInt() == config_->port)
                               : (d.userType() == QMetaType::QString && d.toString() == Q(name)));
    }
    if (options_.lineNote.empty() && activated_)
        SetPanelText(6, Line().IsOpen() ? Q(name)
                                        : Q(name) + QStringLiteral(" (closed: ") +
                                              Q(port_.OpenErrorText(rc)) + QStringLiteral(")"));
    // Polling that a lost line stopped goes on once the user picks a port.
    if (activated_ && core_ && Line().IsOpen() && core_->Polling().StoppedByLine())
        StartStatusPolling();
    ApplyFastExchange();
    // A port picked by hand is a fresh start, not a reconnection.
    if (core_) core_->Reconnection().Reset();
}

void TMainForm::RefreshPortDevices() {
    for (QAction* a : PortDevices) {
        portGroup_->removeAction(a);
        mnuPort->removeAction(a);
        delete a;
    }
    PortDevices.clear();
    std::vector<std::string> devices = link::DetectSerialDevices();
    const std::string active = config_ ? ActivePortName() : std::string();
    // A device in use that the scan does not show (a pseudo-terminal) stays
    // choosable too.
    if (!active.empty() && active.rfind("COM", 0) != 0 &&
        std::find(devices.begin(), devices.end(), active) == devices.end())
        devices.insert(devices.begin(), active);
    for (const std::string& d : devices) {
        // Two adapters of the same kind differ by their serial numbers.
        auto* a = new QAction(Q(link::DeviceLabel(d, UsbAdapters())), mnuPort);
        a->setCheckable(true);
        a->setData(Q(d));
        a->setChecked(d == active);
        portGroup_->addAction(a);
        mnuPort->insertAction(Act_FindBoard, a);
        connect(a, &QAction::triggered, this, [this, d] { Act_ChangeComDeviceExecute(Q(d)); });
        PortDevices.push_back(a);
    }
}

void TMainForm::Act_ChangeComPortExecute(int port) {
    if (closed_) return;
    config_->port = port;
    config_->device.clear();
    sessionDevice_.clear();
    port_.ClosePort();
    OpenConfiguredPort();
}

void TMainForm::Act_ChangeComSpeedExecute(int speed) {
    if (closed_) return;
    config_->speed = speed;
    port_.ClosePort();
    OpenConfiguredPort();
}

void TMainForm::Act_ChangeComDeviceExecute(const QString& device) {
    if (closed_ || device.isEmpty()) return;
    const std::string d = device.toStdString();
    if (d == sessionDevice_) {
        // The device of this run (given on the command line): re-open it, keep
        // the stored port as it is.
    } else {
        config_->device = d;
        sessionDevice_.clear();
    }
    port_.ClosePort();
    OpenConfiguredPort();
}

void TMainForm::Act_NetworkBoardExecute() {
    if (closed_) return;
    QStringList recent;
    for (const std::string& a : config_->recentAddresses) recent << Q(a);
    const std::string active = ActivePortName();
    if (link::IsNetworkAddress(active) && !recent.contains(Q(active))) recent.prepend(Q(active));
    const std::optional<QString> typed = dialogs_->ChooseAddress(
        QStringLiteral("Network board"),
        QStringLiteral("Address of the board's serial device server:"), recent);
    if (!typed) return;
    const std::string text = typed->trimmed().toStdString();
    std::string why;
    const std::optional<link::TNetAddress> a = link::ParseNetAddress(text, &why);
    if (!a) {
        // Nothing changes: the port in use stays open.
        ShowMessage(QStringLiteral("Network board"),
                    QStringLiteral("\"%1\" is not a board address: %2.\n\nWrite "
                                   "tcp://HOST:PORT for a raw TCP port or rfc2217://HOST:PORT "
                                   "for a server in RFC 2217 mode.")
                        .arg(Q(text.size() > 100 ? text.substr(0, 100) + "..." : text), Q(why)));
        return;
    }
    config_->NoteRecentAddress(a->Text());
    // Reaching the server may take a few seconds (the name, the connection,
    // the line settings), each step bounded.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Act_ChangeComDeviceExecute(Q(a->Text()));
    QApplication::restoreOverrideCursor();
}

void TMainForm::Act_FindBoardExecute() {
    if (closed_) return;
    std::vector<std::string> devices = link::DetectSerialDevices();
    // The device the link holds open is not probed a second time.
    const std::string active = port_.IsOpen() ? port_.GetDevicePath() : std::string();
    std::erase(devices, active);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<features::TFoundBoard> found = features::FindBoards(devices, config_->speed);
    QApplication::restoreOverrideCursor();
    if (found.empty()) {
        ShowMessage(QStringLiteral("Find board"),
                    QStringLiteral("No board answered on the %1 serial devices found.")
                        .arg(devices.size()));
        return;
    }
    QStringList choices;
    for (const features::TFoundBoard& f : found)
        choices << QStringLiteral("%1  (FW Ver. %2)")
                       .arg(Q(link::DeviceLabel(f.device, UsbAdapters())), Q(f.firmware));
    const int i = dialogs_->ChooseItem(QStringLiteral("Find board"),
                                       QStringLiteral("Boards that answered:"), choices);
    if (i >= 0 && i < static_cast<int>(found.size()))
        Act_ChangeComDeviceExecute(Q(found[static_cast<std::size_t>(i)].device));
}

}  // namespace orvan::app
