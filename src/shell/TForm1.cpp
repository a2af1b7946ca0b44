#include "TForm1.h"

#include "Forms.h"
#include "Guarded.h"
#include "KeyNames.h"
#include "TMenuKeyboard.h"

#include <QAction>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

TForm1::TForm1(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form1"));
    // Never shown: the strip has no title bar.
    setWindowTitle(QStringLiteral("Картотека клиентов психолога и психологические опросники"));
    setWindowIcon(QIcon(QStringLiteral(":/kartoteka/icons/kartoteka.ico")));
    setBorderStyle(TBorderStyle::bsNone);
    setPosition(TPosition::poDesigned);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);
    MainMenu1->setAccessibleName(QStringLiteral("Главное меню"));

    QMenu* clients = addSubmenu(N1, QStringLiteral("Данные на клиента"), "N1");
    addCommand(clients, N5, QStringLiteral("Данные о клиенте"), "N5", &TForm1::N5Click);
    N5->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    // The application's own shortcut check runs the command (see IsShortCut);
    // the action's shortcut is there for the text shown in the menu.
    N5->setShortcutContext(Qt::WidgetShortcut);

    QMenu* questionnaires = addSubmenu(N2, QStringLiteral("Опросники"), "N2");
    addCommand(questionnaires, N11, QStringLiteral("№1"), "N11", nullptr);
    addCommand(questionnaires, N21, QStringLiteral("№2"), "N21", nullptr);

    QMenu* tests = addSubmenu(N3, QStringLiteral("Тесты"), "N3");
    addCommand(tests, N6, QStringLiteral("Тест на подчиненность"), "N6", &TForm1::N6Click);
    addCommand(tests, N7, QStringLiteral("На слабости"), "N7", &TForm1::N7Click);

    QMenu* help = addSubmenu(N8, QStringLiteral("Помощь"), "N8");
    addCommand(help, N10, QStringLiteral("Здесь должна была быть помощь"), "N10", nullptr);

    addCommand(MainMenu1, N9, QStringLiteral("Авторство"), "N9", &TForm1::N9Click);
    addCommand(MainMenu1, N12, QStringLiteral("Выход"), "N12", &TForm1::N12Click);

    keyboard_ = new TMenuKeyboard(MainMenu1, this);

    // The menu bar on top, a 1-pixel strip of button face below it.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    // Client area 1015 x 1 below the bar. Not a fixed size: started
    // maximized, the strip covers the screen.
    const int barHeight = MainMenu1->sizeHint().height();
    resize(1015, barHeight + 1);
    move(0, 0);
}

QMenu* TForm1::addSubmenu(QAction*& item, const QString& caption, const char* name) {
    auto* menu = new QMenu(caption, MainMenu1);
    menu->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
    item = MainMenu1->addMenu(menu);
    item->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* TForm1::addCommand(QWidget* menu, QAction*& item, const QString& caption,
                            const char* name, void (TForm1::*handler)(QAction*)) {
    item = new QAction(caption, menu);
    item->setObjectName(QString::fromLatin1(name));
    menu->addAction(item);
    if (handler) {
        QAction* sender = item;
        connect(item, &QAction::triggered, this,
                [this, handler, sender] { guarded([&] { (this->*handler)(sender); }); });
    }
    return item;
}

void TForm1::N5Click(QAction*) {
    if (Form3)
        Form3->setVisibleFlag(true);
}
void TForm1::N6Click(QAction*) {
    if (Form6)
        Form6->setVisibleFlag(true);
}
void TForm1::N7Click(QAction*) {
    if (Form7)
        Form7->setVisibleFlag(true);
}
void TForm1::N9Click(QAction*) {
    if (Form5)
        Form5->setVisibleFlag(true);
}
void TForm1::N12Click(QAction*) { Close(); }
void TForm1::N4Click(QAction*) {
    if (Form4)
        Form4->setVisibleFlag(true);
}

bool TForm1::IsShortCut(const QKeyEvent& key, bool run) {
    const QKeySequence pressed = namedKey(key);
    for (QAction* item : {N5, N11, N21, N6, N7, N10, N9, N12}) {
        if (item->shortcut().isEmpty() || item->shortcut() != pressed || !item->isEnabled())
            continue;
        if (run)
            item->trigger();
        return true;
    }
    return false;
}
