#include "TForm3.h"

TForm3::TForm3(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("База клиентов"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poScreenCenter);
    setDesignedBounds(205, 326, 600, 331);
}
