#pragma once

#include "TForm.h"

#include <QString>

// Windows with the stored properties of the program's seven windows and no
// content, for the tests of the shell alone.
struct StubForm : TForm {
    StubForm(const char* name, const QString& caption, TBorderStyle border, TPosition position) {
        setObjectName(QString::fromLatin1(name));
        setWindowTitle(caption);
        setBorderStyle(border);
        setPosition(position);
    }
};

struct StubForm2 : StubForm {
    StubForm2() : StubForm("Form2", "Form2", TBorderStyle::bsSizeable, TPosition::poDesktopCenter) {
        setDesignedBounds(105, 154, 800, 400);
    }
};
struct StubForm3 : StubForm {
    StubForm3()
        : StubForm("Form3", QStringLiteral("База клиентов"), TBorderStyle::bsSizeable,
                   TPosition::poScreenCenter) {
        setDesignedBounds(205, 326, 600, 331);
    }
};
struct StubForm4 : StubForm {
    StubForm4() : StubForm("Form4", "Form4", TBorderStyle::bsSizeable, TPosition::poScreenCenter) {
        setDesignedBounds(203, 194, 600, 300);
    }
};
struct StubForm5 : StubForm {
    StubForm5() : StubForm("Form5", "Form5", TBorderStyle::bsNone, TPosition::poDesktopCenter) {
        setDesignedClientBounds(197, 54, 574, 521);
    }
};
struct StubForm6 : StubForm {
    StubForm6()
        : StubForm("Form6", QStringLiteral("Тест на подчиненность"), TBorderStyle::bsSizeable,
                   TPosition::poDesigned) {
        setDesignedBounds(185, 209, 626, 343);
    }
};
struct StubForm7 : StubForm {
    StubForm7()
        : StubForm("Form7", QStringLiteral("Тест на слабости"), TBorderStyle::bsSizeable,
                   TPosition::poDesigned) {
        setDesignedBounds(223, 258, 709, 356);
    }
};
