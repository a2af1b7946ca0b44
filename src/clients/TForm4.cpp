#include "TForm4.h"

TForm4::TForm4(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Form4"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poScreenCenter);
    setDesignedBounds(203, 194, 600, 300);
}
