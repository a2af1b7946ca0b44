#include "TForm6.h"

TForm6::TForm6(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Тест на подчиненность"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poDesigned);
    setDesignedBounds(185, 209, 626, 343);
}
