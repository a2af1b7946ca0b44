#include "TForm2.h"

#include "TTable.h"
#include "ui_TForm2.h"

TForm2::TForm2(QWidget* parent) : TForm(parent), ui_(std::make_unique<Ui::TForm2>()) {
    Table1 = new TTable(this);
    Table1->setName(QStringLiteral("Table1"));
    ui_->setupUi(this);
    GroupBox1 = ui_->GroupBox1;
    Edit1 = ui_->Edit1;
    Edit2 = ui_->Edit2;
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Form2"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poDesktopCenter);
    setDesignedBounds(105, 154, 800, 400);
}

TForm2::~TForm2() = default;
