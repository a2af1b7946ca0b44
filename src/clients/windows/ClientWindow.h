#pragma once

#include "ClientFields.h"
#include "TForm.h"
#include "TNavigateBtn.h"

#include <QList>
#include <QRect>
#include <QStringList>

class QFrame;
class QLabel;
class TDBEdit;
class TDBNavigator;
class TDataSource;
class TScrollBox;
class TStringField;
class TTable;

// What the two client windows share: a cursor of their own on the client
// table with its seven fields and a data source, the cursor opened when the
// window is created, and the controls their stored layouts both name the
// same way (the bar's panel and navigator, two words on the bar, the scroll
// box with seven labels and seven bound edit boxes).
class ClientWindow : public TForm {
    Q_OBJECT
public:
    ~ClientWindow() override;

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

protected:
    // Makes the cursor, its fields and the data source, before the window
    // loads its layout, so that the cursor outlives nothing that watches it.
    explicit ClientWindow(QWidget* parent);

    // Takes the shared controls from the loaded layout.
    template <class Layout> void takeControls(const Layout& ui) {
        Panel1 = ui.Panel1;
        DBNavigator = ui.DBNavigator;
        Label8 = ui.Label8;
        Label9 = ui.Label9;
        Panel2 = ui.Panel2;
        ScrollBox = ui.ScrollBox;
        Label1 = ui.Label1;
        Label2 = ui.Label2;
        Label3 = ui.Label3;
        Label4 = ui.Label4;
        Label5 = ui.Label5;
        Label6 = ui.Label6;
        Label7 = ui.Label7;
        EditDBEdit = ui.EditDBEdit;
        EditDBEdit2 = ui.EditDBEdit2;
        EditDBEdit3 = ui.EditDBEdit3;
        EditDBEdit4 = ui.EditDBEdit4;
        EditDBEdit5 = ui.EditDBEdit5;
        EditDBEdit6 = ui.EditDBEdit6;
        EditDBEdit7 = ui.EditDBEdit7;
    }

    // What tells the two windows apart once their controls are taken.
    struct Shape {
        QString name;
        QString title;
        QRect designedBounds;
        QList<QLabel*> barLabels; // sized to their captions
        TButtonSet buttons;
        QStringList hints; // none: the bar keeps its own
    };
    // Sets the window's name, caption, border, position and bounds, settles
    // the scroll box, sizes the labels, shapes the bar and binds the bar and
    // the edit boxes to DataSource1; the bar's panel becomes the active control.
    void settle(const Shape& shape);

    // Gives the panels, the bar and its buttons their roles, names and
    // descriptions on the accessibility bus: each button is named by the word
    // under it, and its description says what it does and which key presses it.
    void nameForAccessibility(const Shape& shape);
    // A button whose word says something else than what it does: named by
    // what it does, with the word in its description.
    void renameButton(TNavigateBtn kind, const QString& name, const QLabel* word);

    // A key the focused control left alone: the navigator's keys press the
    // visible button they stand for (a beep when it is disabled). True when
    // the key was taken.
    virtual bool HandleKey(const QKeyEvent& key);
    void keyPressEvent(QKeyEvent* event) override;
};
