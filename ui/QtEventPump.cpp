#include "QtEventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

void QtEventPump::DelayWithMessages(int ms) {
    QElapsedTimer clock; // monotonic
    clock.start();
    WaitWithMessages(ms, {[&clock] { return clock.elapsed(); },
                          [] { QCoreApplication::processEvents(QEventLoop::AllEvents); },
                          [](std::int64_t left) {
                              QEventLoop loop;
                              QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop,
                                                 &QEventLoop::quit);
                              loop.exec();
                          }});
}

void QtEventPump::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
