#include "QtSerialLine.h"

#include "link/WireConstants.h"

#include "QtText.h"

#include "images/OperatorTexts.h"

#include <cerrno>
#include <cstring>
#ifndef Q_OS_WIN
#include <sys/file.h>
#include <termios.h>
#endif

QtSerialLine::QtSerialLine(QObject* parent) : PortConnection(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &PortConnection::RxChar);
}

bool QtSerialLine::Open(const QString& device) {
    Close();
    if (device.isEmpty()) {
        return false;
    }
    device_ = device;
    port_.setPortName(device);
    port_.setBaudRate(wire::BaudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        return false;
    }
#ifndef Q_OS_WIN
    // Qt locks the port by the name it was given, which a link or root gets
    // around; a lock on the device itself holds for every name and for root.
    if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0) {
        port_.close();
        return false;
    }
#endif
    // A device without modem lines (a pseudo-terminal) refuses these; it is
    // still a usable line.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.clearError();
    return true;
}

void QtSerialLine::Close() {
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
}

void QtSerialLine::ThrowOnLineError() {
    const auto error = port_.error();
    if (!port_.isOpen() || (error != QSerialPort::NoError && error != QSerialPort::TimeoutError &&
                            error != QSerialPort::UnsupportedOperationError)) {
        throw SerialError(U8(LostLineText()));
    }
}

QString QtSerialLine::LostLineText() {
    // Qt's own text depends on which call noticed the loss; the device itself
    // is asked once more, so that the same event always reads the same.
    QString detail;
#ifndef Q_OS_WIN
    termios settings{};
    if (port_.isOpen() && ::tcgetattr(static_cast<int>(port_.handle()), &settings) != 0) {
        const int code = errno;
        detail = QStringLiteral("Read error (%1), %2")
                     .arg(code)
                     .arg(QString::fromLocal8Bit(std::strerror(code)));
    }
#endif
    if (detail.isEmpty()) {
        detail = port_.isOpen() ? port_.errorString() : QStringLiteral("port closed");
    }
    return Q(texts::PortConnectionLost) + QLatin1Char(' ') + device_ + QStringLiteral(". ") +
           detail;
}

void QtSerialLine::TakeWhatHasArrived() {
    // Pulls in what the system has received without waiting for the event loop.
    port_.waitForReadyRead(0);
    if (port_.error() == QSerialPort::TimeoutError) {
        port_.clearError();
    }
    ThrowOnLineError();
}

void QtSerialLine::WriteBytes(const std::uint8_t* data, std::size_t count) {
    ThrowOnLineError();
    if (port_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(count)) !=
        static_cast<qint64>(count)) {
        ThrowOnLineError();
        throw SerialError("Write error");
    }
}

std::size_t QtSerialLine::BytesWaiting() {
    TakeWhatHasArrived();
    return static_cast<std::size_t>(port_.bytesAvailable());
}

std::size_t QtSerialLine::ReadBytes(std::uint8_t* data, std::size_t count) {
    ThrowOnLineError();
    const qint64 n = port_.read(reinterpret_cast<char*>(data), static_cast<qint64>(count));
    ThrowOnLineError();
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string QtSerialLine::ReadText() {
    TakeWhatHasArrived();
    return port_.readAll().toStdString();
}

void QtSerialLine::Purge() {
    ThrowOnLineError();
    port_.clear(QSerialPort::AllDirections);
    ThrowOnLineError();
}
