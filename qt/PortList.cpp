#include "PortList.h"

#include "NativePath.h"
#include "PortNames.h"
#include "QtText.h"

#include "images/OperatorTexts.h"
#include "sim/SimulatedPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Whether the entry itself (not where a link leads) belongs to the user and,
// for a folder, whether nobody else may write in it.
bool UsersOwn(const QString& path, bool onlyUserWrites) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    Q_UNUSED(onlyUserWrites);
    return true; // the temporary folder is the user's own
#else
    struct stat entry {};
    if (::lstat(QFile::encodeName(path).constData(), &entry) != 0) {
        return false;
    }
    return entry.st_uid == ::getuid() && (!onlyUserWrites || (entry.st_mode & 022) == 0);
#endif
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
    const QString folder = ToQString(SimulatedPortsFolder());
    if (!UsersOwn(folder, true)) {
        return ports;
    }
    for (const QFileInfo& link : QDir(folder).entryInfoList(QDir::System | QDir::Files)) {
        if (link.isSymLink() && UsersOwn(link.absoluteFilePath(), false) &&
            QFileInfo::exists(link.symLinkTarget()) && !known(link.absoluteFilePath())) {
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
