#include "ClientWindow.h"

#include "ClientFields.h"
#include "ClientWindowLayout.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "TDataSource.h"
#include "TField.h"
#include "TScrollBox.h"
#include "TTable.h"

#include <QLabel>

ClientWindow::ClientWindow(QWidget* parent) : TForm(parent) {
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
}

ClientWindow::~ClientWindow() = default;

void ClientWindow::settle(const Shape& shape) {
    setObjectName(shape.name);
    setWindowTitle(shape.title);
    setBorderStyle(TBorderStyle::bsSizeable);
    setPosition(TPosition::poScreenCenter);
    const QRect& b = shape.designedBounds;
    setDesignedBounds(b.left(), b.top(), b.width(), b.height());

    const QList<QLabel*> fieldLabels{Label1, Label2, Label3, Label4, Label5, Label6, Label7};
    const QList<TDBEdit*> edits{EditDBEdit,  EditDBEdit2, EditDBEdit3, EditDBEdit4,
                                EditDBEdit5, EditDBEdit6, EditDBEdit7};
    QList<QWidget*> boxControls(fieldLabels.begin(), fieldLabels.end());
    boxControls.append(QList<QWidget*>(edits.begin(), edits.end()));
    ClientWindowLayout::settleScrollBox(ScrollBox, boxControls);
    ClientWindowLayout::autoSizeLabels(fieldLabels);
    ClientWindowLayout::autoSizeLabels(shape.barLabels);

    DBNavigator->setVisibleButtons(shape.buttons);
    DBNavigator->setFlat(true);
    if (!shape.hints.isEmpty())
        DBNavigator->setHints(shape.hints);
    DBNavigator->setDataSource(DataSource1);
    ClientWindowLayout::bindEdits(edits, DataSource1);

    setActiveControl(Panel1);
    nameForAccessibility(shape);
}

void ClientWindow::FormCreate() { Table1->Open(); }

void ClientWindow::SettleForExit() {
    if (Table1->Active())
        Table1->CheckBrowseMode();
}
