#pragma once

#include "TForm.h"

class QAction;
class QMenu;
class QMenuBar;
class TMenuKeyboard;

// The main window: a borderless strip at the top-left corner of the screen
// that holds only the main menu. Closing it ends the program.
class TForm1 : public TForm {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    QMenuBar* MainMenu1 = nullptr;
    // Bar items.
    QAction* N1 = nullptr;  // "Данные на клиента"
    QAction* N2 = nullptr;  // "Опросники"
    QAction* N3 = nullptr;  // "Тесты"
    QAction* N8 = nullptr;  // "Помощь"
    QAction* N9 = nullptr;  // "Авторство"
    QAction* N12 = nullptr; // "Выход"
    // Submenu items.
    QAction* N5 = nullptr;  // "Данные о клиенте", Ctrl+C
    QAction* N11 = nullptr; // "№1"
    QAction* N21 = nullptr; // "№2"
    QAction* N6 = nullptr;  // "Тест на подчиненность"
    QAction* N7 = nullptr;  // "На слабости"
    QAction* N10 = nullptr; // "Здесь должна была быть помощь"

    void N5Click(QAction* sender);
    void N6Click(QAction* sender);
    void N7Click(QAction* sender);
    void N9Click(QAction* sender);
    void N12Click(QAction* sender);
    // Shows the client entry window; no menu item is bound to it.
    void N4Click(QAction* sender);

    bool IsShortCut(const QKeyEvent& key, bool run) override;

private:
    QMenu* addSubmenu(QAction*& item, const QString& caption, const char* name);
    QAction* addCommand(QWidget* menu, QAction*& item, const QString& caption, const char* name,
                        void (TForm1::*handler)(QAction*));

    TMenuKeyboard* keyboard_ = nullptr;
};
