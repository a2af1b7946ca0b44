#pragma once

#include "ClientFields.h"
#include "TForm.h"

#include <memory>

namespace Ui {
class TForm4;
}
class QFrame;
class QLabel;
class TDBEdit;
class TDBNavigator;
class TDataSource;
class TScrollBox;
class TStringField;
class TTable;

// The client entry window "Form4": a second window on the client table with
// only Insert and Cancel on its bar. It has its own cursor, independent of the
// client base window's, opened when the window is created.
class TForm4 : public TForm {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    // Opens Table1.
    void FormCreate() override;
    // Stores a modified pending record before the program ends.
    void SettleForExit() override;

    TTable* Table1;
    TStringField* Table1StringField;
    TStringField* Table1StringField2;
    TStringField* Table1StringField3;
    TStringField* Table1StringField4;
    TStringField* Table1StringField5;
    TStringField* Table1StringField6;
    TStringField* Table1StringField7;
    TDataSource* DataSource1;

    QFrame* Panel1;
    TDBNavigator* DBNavigator;
    QLabel* Label8;
    QLabel* Label9;
    QFrame* Panel2;
    TScrollBox* ScrollBox;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    TDBEdit* EditDBEdit;
    TDBEdit* EditDBEdit2;
    TDBEdit* EditDBEdit3;
    TDBEdit* EditDBEdit4;
    TDBEdit* EditDBEdit5;
    TDBEdit* EditDBEdit6;
    TDBEdit* EditDBEdit7;

private:
    std::unique_ptr<Ui::TForm4> ui_;
};
