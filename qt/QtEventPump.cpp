#include "QtEventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool QtEventPump::Wait(int ms, const std::function<bool()>& ready) {
    return WaitWithMessages(
        ms,
        {[this] { return TickMs(NowMs()); }, [] { QCoreApplication::processEvents(); },
         [&ready](std::int64_t left) {
             QTimer wake;
             wake.setSingleShot(true);
             wake.setTimerType(Qt::PreciseTimer);
             wake.start(static_cast<int>(left));
             if (ready) {
                 // Any event, such as data on the port, ends this block early.
                 QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
             } else {
                 QEventLoop loop;
                 QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
                 loop.exec();
             }
         }},
        ready);
}

void QtEventPump::DelayWithMessages(int ms) {
    Wait(ms, {});
}

bool QtEventPump::WaitFor(int ms, const std::function<bool()>& ready) {
    return Wait(ms, ready);
}

double QtEventPump::NowMs() {
    static const QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<double>(since.nsecsElapsed()) / 1e6;
}

void QtEventPump::ProcessMessages() {
    QCoreApplication::processEvents();
}
