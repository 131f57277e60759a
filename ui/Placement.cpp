#include "Placement.h"

#include <QWidget>

void CentreOver(QWidget& window, const QWidget& main) {
    const QRect outer = main.frameGeometry();
    // Before its first showing a framed window's frame is not known yet; it
    // is decorated as the main window is.
    const bool framed = !window.windowFlags().testFlag(Qt::FramelessWindowHint);
    const QSize frame = window.isVisible() || !framed
                            ? window.frameGeometry().size()
                            : window.size() + (outer.size() - main.size());
    window.move(outer.left() + outer.width() / 2 - frame.width() / 2,
                outer.top() + outer.height() / 2 - frame.height() / 2);
}
