#include "TForm3.h"

#include "ClientWindowLayout.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "TDataSource.h"
#include "TField.h"
#include "TScrollBox.h"
#include "TTable.h"
#include "ui_TForm3.h"

TForm3::TForm3(QWidget* parent) : TForm(parent), ui_(std::make_unique<Ui::TForm3>()) {
    // The cursor first, so that it outlives nothing that watches it.
    Table1 = new TTable(this);
    const ClientFieldSet fields = setUpClientTable(Table1);
    Table1StringField = fields[0];
    Table1StringField2 = fields[1];
    Table1StringField3 = fields[2];
    Table1StringField4 = fields[3];
    Table1StringField5 = fields[4];
    Table1StringField6 = fields[5];
    Table1StringField7 = fields[6];
    DataSource1 = new TDataSource(this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    DataSource1->setDataSet(Table1);

    ui_->setupUi(this);
    Panel1 = ui_->Panel1;
    DBNavigator = ui_->DBNavigator;
    Label8 = ui_->Label8;
    Label9 = ui_->Label9;
    Label10 = ui_->Label10;
    Label11 = ui_->Label11;
    Label12 = ui_->Label12;
    Label13 = ui_->Label13;
    Panel2 = ui_->Panel2;
    ScrollBox = ui_->ScrollBox;
    Label1 = ui_->Label1;
    Label2 = ui_->Label2;
    Label3 = ui_->Label3;
    Label4 = ui_->Label4;
    Label5 = ui_->Label5;
    Label6 = ui_->Label6;
    Label7 = ui_->Label7;
    EditDBEdit = ui_->EditDBEdit;
    EditDBEdit2 = ui_->EditDBEdit2;
    EditDBEdit3 = ui_->EditDBEdit3;
    EditDBEdit4 = ui_->EditDBEdit4;
    EditDBEdit5 = ui_->EditDBEdit5;
    EditDBEdit6 = ui_->EditDBEdit6;
    EditDBEdit7 = ui_->EditDBEdit7;

    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("База клиентов"));
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poScreenCenter);
    setDesignedBounds(205, 326, 600, 331);

    const QList<QLabel*> fieldLabels{Label1, Label2, Label3, Label4, Label5, Label6, Label7};
    const QList<TDBEdit*> edits{EditDBEdit,  EditDBEdit2, EditDBEdit3, EditDBEdit4,
                                EditDBEdit5, EditDBEdit6, EditDBEdit7};
    QList<QWidget*> boxControls(fieldLabels.begin(), fieldLabels.end());
    boxControls.append(QList<QWidget*>(edits.begin(), edits.end()));
    ClientWindowLayout::settleScrollBox(ScrollBox, boxControls);
    ClientWindowLayout::autoSizeLabels(fieldLabels);
    ClientWindowLayout::autoSizeLabels({Label9, Label10, Label11, Label12, Label8, Label13});

    DBNavigator->setVisibleButtons({nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete});
    DBNavigator->setFlat(true);
    DBNavigator->setHints({QStringLiteral("First"), QStringLiteral("Prior"), QStringLiteral("Next"),
                           QStringLiteral("Last"), QStringLiteral("Delete record")});
    DBNavigator->setDataSource(DataSource1);
    ClientWindowLayout::bindEdits(edits, DataSource1);

    setActiveControl(Panel1);
}

TForm3::~TForm3() = default;

void TForm3::FormCreate() { Table1->Open(); }

void TForm3::SettleForExit() {
    if (Table1->Active())
        Table1->CheckBrowseMode();
}
