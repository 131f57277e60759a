#include "PortList.h"

#include "PortNames.h"
#include "QtText.h"

#include "images/ProgramFile.h"
#include "sim/SimulatedPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

QString Describe(const QSerialPortInfo& info) {
    QStringList parts;
    for (const QString& p : {info.description(), info.manufacturer(), info.systemLocation()}) {
        if (!p.isEmpty() && !parts.contains(p)) {
            parts << p;
        }
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

QList<PortEntry> ListPorts() {
    QList<PortEntry> ports;
    const QStringList fixed = PortListEntries();
    for (int i = 0; i < fixed.size(); ++i) {
        ports.append({fixed[i], PortDeviceName(i + 1), {}});
    }
    auto known = [&ports](const QString& device) {
        return std::any_of(ports.begin(), ports.end(),
                           [&](const PortEntry& p) { return p.device == device; });
    };
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        const QString device = info.portName();
#else
        const QString device = info.systemLocation();
        // The built-in ports are the COM entries already.
        if (device.startsWith(QLatin1String("/dev/ttyS"))) {
            continue;
        }
#endif
        if (!known(device)) {
            ports.append({info.portName(), device, Describe(info)});
        }
    }
    const QDir simulated(QString::fromStdString(PathToUtf8(SimulatedPortsFolder())));
    for (const QFileInfo& link : simulated.entryInfoList(QDir::System | QDir::Files)) {
        if (link.isSymLink() && QFileInfo::exists(link.symLinkTarget()) &&
            !known(link.absoluteFilePath())) {
            ports.append(
                {link.fileName(), link.absoluteFilePath(),
                 Q(texts::SimulatedInstrument) + QStringLiteral(", ") + link.symLinkTarget()});
        }
    }
    return ports;
}

QString DeviceForPortName(const QString& name) {
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        return name; // a device path already
    }
    for (const PortEntry& p : ListPorts()) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            return p.device;
        }
    }
    return name;
}
