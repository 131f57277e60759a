#pragma once

// A serial line that can be opened and closed and tells when characters arrive.
// The desktop's QSerialPort adapter is one; a test can put a simulated line here.

#include "link/SerialLine.h"

#include <QObject>
#include <QString>

class PortConnection : public QObject, public SerialLine {
    Q_OBJECT
public:
    using QObject::QObject;
    // Opens the device for exclusive use at 57600 baud, 8N1; false when it cannot.
    virtual bool Open(const QString& device) = 0;
    // Closes the device; never fails.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

signals:
    // Characters were received (the component's OnRxChar).
    void RxChar();
};
