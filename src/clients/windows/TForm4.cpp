#include "TForm4.h"

#include "ui_TForm4.h"

TForm4::TForm4(QWidget* parent) : ClientWindow(parent), ui_(std::make_unique<Ui::TForm4>()) {
    ui_->setupUi(this);
    takeControls(*ui_);

    // The two words stand under the bar, which covers their top pixel row,
    // and the strip cuts off their lowest rows.
    settle({QStringLiteral("TForm4"),
            QStringLiteral("Form4"),
            QRect(203, 194, 600, 300),
            {Label8, Label9},
            {nbInsert, nbCancel},
            {}});
    // The button above "УДАЛИТЬ" cancels the new card: named by what it does.
    renameButton(nbCancel, QStringLiteral("Отменить"), Label9);
}

TForm4::~TForm4() = default;
