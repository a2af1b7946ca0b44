#pragma once

// A client window's worth of parts for the tests of the bound edit box and
// the navigator bar: the cursor with the seven client fields, its data
// source, a navigator bar and seven bound boxes, on one shown top-level widget.

#include "ClientFields.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "TDataSource.h"
#include "TField.h"
#include "TTable.h"

#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <array>

namespace ControlsTest {

struct Window {
    QWidget host;
    TTable table;
    ClientFieldSet fields{};
    TDataSource source;
    TDBNavigator* navigator = nullptr;
    std::array<TDBEdit*, 7> edits{};
    QLineEdit* other = nullptr; // a plain box to move the focus to

    Window()
    {
        fields = setUpClientTable(&table);
        source.setDataSet(&table);
        host.resize(600, 300);
        navigator = new TDBNavigator(&host);
        navigator->SetBounds(8, 4, 240, 25);
        for (int i = 0; i < 7; ++i) {
            edits[i] = new TDBEdit(&host);
            edits[i]->setGeometry(8, 40 + 26 * i, 300, 21);
            edits[i]->setDataSource(&source);
            edits[i]->setDataField(fields[i]->FieldName());
        }
        other = new QLineEdit(&host);
        other->setGeometry(320, 40, 100, 21);
        navigator->setDataSource(&source);
    }
    ~Window()
    {
        // The boxes and the bar go before the cursor they watch.
        delete navigator;
        for (TDBEdit* e : edits)
            delete e;
    }
    void show()
    {
        host.show();
        host.activateWindow();
        if (!QTest::qWaitForWindowExposed(&host))
            qWarning("the test window was not exposed");
    }
    QString surname() const { return fields[1]->AsString(); }
};

inline QStringList client(const QString& number, const QString& surname)
{
    return {number, surname, QStringLiteral("Иван"), QStringLiteral("Петрович"), QStringLiteral("30"),
            QStringLiteral("женат"), QStringLiteral("2")};
}

} // namespace ControlsTest
