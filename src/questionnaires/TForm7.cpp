#include "TForm7.h"

TForm7::TForm7(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Тест на слабости"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poDesigned);
    setDesignedBounds(223, 258, 709, 356);
}
