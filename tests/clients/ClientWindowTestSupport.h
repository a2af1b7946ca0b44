#pragma once

// Helpers for the tests of the client windows: a client table on the real
// engine with a few records, and reading a window's boxes and buttons.

#include "CursorTestSupport.h"
#include "TDBEdit.h"
#include "TDBNavigator.h"
#include "TNavButton.h"

#include <QList>
#include <QStringList>
#include <QTest>

namespace ClientWindowTest {

inline QList<QStringList> threeClients() {
    return {
        {"1", "Петров", "Пётр", "Петрович", "40", "женат", "2"},
        {"2", "Сидорова", "Анна", "Ивановна", "35", "замужем", "1"},
        {"3", "Кузнецов", "Иван", "Сергеевич", "28", "холост", "0"},
    };
}

// A blank stored value reads back as a null text; compare as plain texts.
inline QList<QStringList> normalized(QList<QStringList> records) {
    for (QStringList& r : records)
        for (QString& v : r)
            if (v.isNull())
                v = QString(QLatin1String(""));
    return records;
}

template <class Form> QStringList boxTexts(const Form& f) {
    return {f.EditDBEdit->text(),  f.EditDBEdit2->text(), f.EditDBEdit3->text(), f.EditDBEdit4->text(),
            f.EditDBEdit5->text(), f.EditDBEdit6->text(), f.EditDBEdit7->text()};
}

template <class Form> QList<TDBEdit*> boxes(const Form& f) {
    return {f.EditDBEdit, f.EditDBEdit2, f.EditDBEdit3, f.EditDBEdit4, f.EditDBEdit5, f.EditDBEdit6, f.EditDBEdit7};
}

inline void click(TDBNavigator* bar, TNavigateBtn kind) {
    QTest::mouseClick(bar->Button(kind), Qt::LeftButton);
}

inline TButtonSet enabledButtons(TDBNavigator* bar, TButtonSet of) {
    TButtonSet enabled;
    for (int k = 0; k < NavigateBtnCount; ++k)
        if (of.contains(TNavigateBtn(k)) && bar->Button(TNavigateBtn(k))->isEnabled())
            enabled.insert(TNavigateBtn(k));
    return enabled;
}

} // namespace ClientWindowTest
