#pragma once
// Shared pieces of the window tests: an event pump and a started window on a
// simulated board.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

inline bool PumpUntil(const std::function<bool()>& done, int limitMs) {
    QDeadlineTimer until(limitMs);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done()) return true;
        QThread::msleep(2);
    }
    return done();
}
