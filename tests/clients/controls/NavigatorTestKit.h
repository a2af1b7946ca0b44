#pragma once
// What the navigator bar tests share: the enabled buttons as letters,
// numbered client records and a click on one button.
#include "ControlsTestWindow.h"
#include "CursorTestSupport.h"
#include "TNavButton.h"

#include <QTest>

namespace NavigatorTest {

using namespace CursorTest;
using namespace ControlsTest;

inline QString enabledLetters(TDBNavigator* nav)
{
    const QString letters = QStringLiteral("FPNLIDEOCR");
    QString r;
    for (int i = 0; i < NavigateBtnCount; ++i)
        if (nav->Button(TNavigateBtn(i))->isEnabled())
            r += letters.at(i);
    return r;
}

inline QList<QStringList> numbered(int count)
{
    QList<QStringList> records;
    for (int i = 1; i <= count; ++i)
        records << client(QString::number(i), QStringLiteral("R%1").arg(i, 2, 10, QLatin1Char('0')));
    return records;
}

inline void clickButton(TDBNavigator* nav, TNavigateBtn kind)
{
    TNavButton* b = nav->Button(kind);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
}

} // namespace NavigatorTest
