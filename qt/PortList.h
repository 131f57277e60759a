#pragma once

// The ports the tools offer: "COM1" to "COM8" first, always, so that a
// remembered index keeps its meaning; then the other serial ports present
// (USB adapters, COM9 and above) and any simulated instrument.

#include "PortNames.h"

#include <QList>
#include <QString>

struct PortEntry {
    QString name;        // what the list shows
    QString device;      // what is opened
    QString description; // the tool tip
};

QList<PortEntry> ListPorts();

// A port named on a command line: "COM1" to "COM8" as in the list, anything else a device path.
QString DeviceForPortName(const QString& name);
