#pragma once

#include <QString>
#include <QStringList>

// The port list always starts with these, so that a remembered index keeps its meaning.
inline constexpr int FixedPortCount = 8;

// The port list's fixed entries, "COM1" to "COM8".
QStringList PortListEntries();

// The device behind port number n (1 for "COM1"): "COMn" on Windows,
// /dev/ttyS(n-1) elsewhere; empty for a number that names no port.
QString PortDeviceName(int number);
