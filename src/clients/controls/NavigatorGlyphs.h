#pragma once

#include "TNavigateBtn.h"

#include <QPixmap>

// The navigator buttons' glyph bitmaps, kept as resources named "dbn_" + the
// kind's word. Each holds the normal and the disabled image side by side; the
// colour of the bottom-left pixel is transparent.
struct NavigatorGlyphs {
    // The glyph resource of the given name, found without regard to case;
    // a null pixmap when there is none.
    static QPixmap load(const QString& name);
    static QPixmap forKind(TNavigateBtn kind) { return load(QStringLiteral("dbn_") + navigateBtnWord(kind)); }
};
