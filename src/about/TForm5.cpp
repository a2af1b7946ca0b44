#include "TForm5.h"

TForm5::TForm5(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Form5"));
    setBorderStyle(TBorderStyle::bsNone);
    setPosition(TPosition::poDesktopCenter);
    setDesignedClientBounds(197, 54, 574, 521);
}
