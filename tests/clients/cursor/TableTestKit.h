#pragma once
// What the tests of the client table cursor share: client records, three of
// them, an error catcher and one client window's worth of cursor, fields,
// data source and recording link.
#include "ClientFields.h"
#include "CursorTestSupport.h"
#include "Exception.h"
#include "TDataSource.h"
#include "TField.h"
#include "TTable.h"

#include <QList>
#include <QStringList>

namespace TableTest {

using namespace CursorTest;

inline QStringList rec(const QString& number, const QString& surname, const QString& name = QStringLiteral("Иван")) {
    return {number, surname, name, QStringLiteral("Петрович"), QStringLiteral("30"), QStringLiteral("женат"),
            QStringLiteral("2")};
}

inline const QList<QStringList> kThree = {rec("1", "Антонов"), rec("2", "Борисов"), rec("3", "Васильев")};

template <class F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

// One client window's worth: the cursor, its fields, a data source and a recording link.
struct Window {
    TTable table;
    ClientFieldSet fields;
    TDataSource source;
    RecordingLink link;

    Window() {
        fields = setUpClientTable(&table);
        source.setDataSet(&table);
        link.setDataSource(&source);
    }
    QStringList current() const {
        QStringList values;
        for (TStringField* f : fields)
            values << f->AsString();
        return values;
    }
    QString surname() const { return fields[1]->AsString(); }
    QStringList take() {
        QStringList e = link.events;
        link.events.clear();
        return e;
    }
};

} // namespace TableTest
