#include "TForm2.h"

TForm2::TForm2(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Form2"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poDesktopCenter);
    setDesignedBounds(105, 154, 800, 400);
}
