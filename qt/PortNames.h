#pragma once

#include <QString>
#include <QStringList>

// The port list's entries, "COM1" to "COM8".
QStringList PortListEntries();

// The device behind port number n (1 for "COM1"): "COMn" on Windows,
// /dev/ttyS(n-1) elsewhere; empty for a number that names no port.
QString PortDeviceName(int number);
