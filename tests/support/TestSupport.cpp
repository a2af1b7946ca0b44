#include "TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace TestSupport {

std::shared_ptr<const ModalAnswer> answerNextModal(std::function<void(QWidget*)> action,
                                                   int timeoutMs) {
    auto answer = std::make_shared<ModalAnswer>();
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    auto elapsed = std::make_shared<int>(0);
    auto answered = std::make_shared<QPointer<QWidget>>();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        *elapsed += timer->interval();
        if (!answer->answered) {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                answer->answered = true;
                answer->modalClass = QString::fromLatin1(modal->metaObject()->className());
                *answered = modal;
                *elapsed = 0;
                action(modal);
                return;
            }
            if (*elapsed >= timeoutMs) {
                answer->timedOut = true;
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        // The action ran: make sure the window it was given does not stay up.
        QWidget* modal = *answered;
        if (!modal || !modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (*elapsed >= timeoutMs) {
            answer->timedOut = true;
            qWarning("answerNextModal: the modal window stayed open; closing it");
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    return answer;
}

void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const QChar upper = c.toUpper();
        Qt::Key key = Qt::Key_unknown;
        if (c == QLatin1Char(' '))
            key = Qt::Key_Space;
        else if (c.isLetterOrNumber() || c.isPunct() || c.isSymbol())
            key = Qt::Key(upper.unicode());
        const Qt::KeyboardModifiers mods =
            (c.isUpper() && c.isLetter()) ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::sendKeyEvent(QTest::Press, widget, key, QString(c), mods);
        QTest::sendKeyEvent(QTest::Release, widget, key, QString(c), mods);
    }
}

ErrorReports::ErrorReports() {
    Application->setErrorPresenter([this](const QString& text) { messages << text; });
}

ErrorReports::~ErrorReports() { Application->setErrorPresenter({}); }

QString supportFile(const QString& name) {
    const QByteArray source = qgetenv("KARTOTEKA_SOURCE_DIR");
    return QString::fromLocal8Bit(source) + QStringLiteral("/tests/support/") + name;
}

} // namespace TestSupport
