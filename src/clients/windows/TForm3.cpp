#include "TForm3.h"

#include "CardFinder.h"
#include "KeyNames.h"
#include "TField.h"
#include "ui_TForm3.h"

#include <QKeyEvent>

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
    finder_ = std::make_unique<CardFinder>(
        this, Table1, QList<TField*>{Table1StringField, Table1StringField2, Table1StringField3, Table1StringField4});
}

TForm3::~TForm3() = default;

bool TForm3::HandleKey(const QKeyEvent& key) {
    const QKeySequence pressed = namedKey(key);
    if (pressed == QKeySequence(Qt::CTRL | Qt::Key_F)) {
        finder_->Ask();
        return true;
    }
    if (pressed == QKeySequence(Qt::Key_F3)) {
        finder_->Again();
        return true;
    }
    return ClientWindow::HandleKey(key);
}
