#include "TForm1.h"

TForm1::TForm1(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Kartoteka"));
    setBorderStyle(TBorderStyle::bsNone);
    setPosition(TPosition::poDesigned);
    setDesignedClientBounds(0, 0, 1015, 1);
}
