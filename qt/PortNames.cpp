#include "PortNames.h"

QStringList PortListEntries() {
    QStringList entries;
    for (int n = 1; n <= FixedPortCount; ++n) {
        entries << QStringLiteral("COM%1").arg(n);
    }
    return entries;
}

QString PortDeviceName(int number) {
    if (number < 1) {
        return {};
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}
