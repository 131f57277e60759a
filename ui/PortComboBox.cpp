#include "PortComboBox.h"

void PortComboBox::Fill(const QList<PortEntry>& ports) {
    const QString shown = currentIndex() >= 0 ? currentText() : QString();
    ports_ = ports;
    clear();
    for (const PortEntry& p : ports_) {
        addItem(p.name);
        setItemData(count() - 1, p.description, Qt::ToolTipRole);
    }
    setCurrentIndex(shown.isEmpty() ? -1 : findText(shown));
}

void PortComboBox::showPopup() {
    Fill(ListPorts());
    QComboBox::showPopup();
}
