#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Keyboard work of a menu bar and its submenus that the toolkit lacks:
// - automatic access keys: each item without one gets the first character of
//   its caption that is a digit or a Latin letter A..Z not yet taken in the
//   same bar or submenu (the bar's items when it is built, a submenu's items
//   each time it opens);
// - first-letter selection: only while the bar is in its keyboard mode (an
//   item highlighted) or a submenu is open, a typed
//   character that matches no access key picks the item whose caption starts
//   with it (ignoring case) among the items without an access key, and opens
//   or runs it;
// - F10 or Alt on its own activates the bar while its window is active; F10,
//   Alt or Esc again leaves that mode.
class TMenuKeyboard : public QObject {
    Q_OBJECT
public:
    TMenuKeyboard(QMenuBar* bar, QWidget* window);

    // Gives every item of `items` without an access key one, as described above.
    static void assignAccessKeys(const QList<QAction*>& items);
    // The access key of a caption ("№&1" has '1'), or a null character.
    static QChar accessKey(const QString& caption);
    // The caption as shown, without its access key marks ("&&" is "&").
    static QString plainCaption(QString caption);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchMenu(QMenu* menu);
    bool selectByFirstLetter(QWidget* menu, const QList<QAction*>& items, const QString& typed);
    void activateBar();
    void toggleBar(); // F10: into the bar's keyboard mode, or out of it
    void leaveKeyboardMode();

    QMenuBar* bar_;
    QWidget* window_;
    bool altAlone_ = false;
    // The bar takes letters only in this mode: entered by F10, Alt or a menu
    // of the bar opening; left by F10, Alt or Esc again, a command, or the
    // keyboard going elsewhere.
    bool keyboardMode_ = false;
};
