#pragma once

#include "TApplication.h"

#include <QString>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

class QWidget;

namespace TestSupport {

// What became of one answerNextModal() request.
struct ModalAnswer {
    bool answered = false;  // the action ran on a modal window
    bool timedOut = false;  // no modal window came, or the action left it open
    QString modalClass;     // class name of the modal window answered
};

// Watches for the next modal window (QApplication::activeModalWidget()) and
// runs `action` on it once. If none appears within `timeoutMs`, or the action
// leaves it open for `timeoutMs` more, the watch ends (closing such a window
// with reject/close) so that a failing test cannot hang.
std::shared_ptr<const ModalAnswer> answerNextModal(std::function<void(QWidget* modal)> action,
                                                   int timeoutMs = 5000);

// Types text character by character, Cyrillic included.
void typeText(QWidget* widget, const QString& text);

// Collects the texts of the application error report while it lives, in place
// of the message box.
class ErrorReports {
public:
    ErrorReports();
    ~ErrorReports();
    QStringList messages;
};

// Path of a file under the source tree's tests/support directory.
QString supportFile(const QString& name);

} // namespace TestSupport

// Like QTEST_MAIN, with the program's application object (font mapping,
// error report, title) in place of QApplication.
#define KARTOTEKA_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char** argv) {                                                              \
        TApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
