#include "TForm3.h"

#include "ui_TForm3.h"

TForm3::TForm3(QWidget* parent) : ClientWindow(parent), ui_(std::make_unique<Ui::TForm3>()) {
    ui_->setupUi(this);
    takeControls(*ui_);
    Label10 = ui_->Label10;
    Label11 = ui_->Label11;
    Label12 = ui_->Label12;
    Label13 = ui_->Label13;

    settle({QStringLiteral("TForm3"),
            QStringLiteral("База клиентов"),
            QRect(205, 326, 600, 331),
            {Label9, Label10, Label11, Label12, Label8, Label13},
            {nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete},
            {QStringLiteral("First"), QStringLiteral("Prior"), QStringLiteral("Next"), QStringLiteral("Last"),
             QStringLiteral("Delete record")}});
}

TForm3::~TForm3() = default;
