#pragma once

// The port list: looks for ports again each time it is opened, so that an
// adapter plugged in while the tool runs can be chosen.

#include "qt/PortList.h"

#include <QComboBox>

class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    // Fills the list, keeping the entry shown if it is still there.
    void Fill(const QList<PortEntry>& ports);
    const QList<PortEntry>& Ports() const { return ports_; }
    void showPopup() override;

private:
    QList<PortEntry> ports_;
};
