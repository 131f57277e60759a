#pragma once

// The tool's port on the simulated instrument and a simulated clock: a whole
// run takes its true time on the clock and milliseconds of real time.

#include "qt/PortConnection.h"

#include "sim/SimulatedLine.h"

#include <QCoreApplication>
#include <QStringList>

class SimPortConnection : public PortConnection {
public:
    sim::InstrumentModel instrument;
    sim::SimClock clock;
    sim::SimulatedLine line{instrument, clock};
    QStringList devices{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
    QString openedDevice;
    int opens = 0;
    std::function<void()> onClose; // called as an open port is closed

    bool Open(const QString& device) override {
        if (!devices.contains(device)) {
            return false;
        }
        ++opens;
        openedDevice = device;
        return true;
    }
    void Close() override {
        if (!openedDevice.isEmpty() && onClose) {
            onClose();
        }
        openedDevice.clear();
    }
    bool IsOpen() const override { return !openedDevice.isEmpty(); }

    void WriteBytes(const std::uint8_t* data, std::size_t count) override {
        line.WriteBytes(data, count);
    }
    std::size_t BytesWaiting() override { return line.BytesWaiting(); }
    std::size_t ReadBytes(std::uint8_t* data, std::size_t count) override {
        return line.ReadBytes(data, count);
    }
    std::string ReadText() override { return line.ReadText(); }
    void Purge() override { line.Purge(); }

    // The instrument sends text, and the port says characters have arrived.
    void InstrumentSends(const std::string& text) {
        line.InstrumentSends(text);
        clock.advanceNs(1'000'000);
        emit RxChar();
    }
};

// Dispatches the window messages, then moves the simulated clock on.
class SimQtPump : public EventPump {
public:
    explicit SimQtPump(sim::SimClock& clock) : clock_(clock) {}
    std::function<void()> onDispatch;
    void DelayWithMessages(int ms) override {
        ProcessMessages();
        clock_.advanceNs(static_cast<std::int64_t>(std::max(ms, 0)) * 1'000'000);
    }
    double NowMs() override { return clock_.nowMs(); }
    void ProcessMessages() override {
        QCoreApplication::processEvents();
        if (onDispatch) {
            onDispatch();
        }
    }

private:
    sim::SimClock& clock_;
};
