#pragma once

// The serial line on QSerialPort: 57600 baud, 8N1, no flow control, DTR and
// RTS held inactive, exclusive open, queued writes.

#include "PortConnection.h"

#include <QSerialPort>

class QtSerialLine : public PortConnection {
    Q_OBJECT
public:
    explicit QtSerialLine(QObject* parent = nullptr);

    bool Open(const QString& device) override;
    void Close() override;
    bool IsOpen() const override { return port_.isOpen(); }

    void WriteBytes(const std::uint8_t* data, std::size_t count) override;
    std::size_t BytesWaiting() override;
    std::size_t ReadBytes(std::uint8_t* data, std::size_t count) override;
    std::string ReadText() override;
    void Purge() override;

private:
    void TakeWhatHasArrived();
    void ThrowOnLineError();
    // What a lost line is reported as, the same whichever call noticed it.
    QString LostLineText();

    QSerialPort port_;
    QString device_;
};
