#pragma once

#include <QFont>

// The face the windows were laid out in, 11 or 13 pixels high, with the
// closest faces of other systems after it.
inline QFont DesignFont(int pixels, bool bold = false) {
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
