// What the client windows put on the accessibility bus, and the keys that
// stand for their navigator's buttons.
#include "ClientWindow.h"

#include "Accessibility.h"
#include "ClientWindowKeys.h"
#include "Guarded.h"
#include "TDBNavigator.h"
#include "TNavButton.h"
#include "TScrollBox.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>

namespace {

// "ДОБАВИТЬ" is read as "Добавить".
QString sentenceCase(const QString& word) {
    const QString lower = word.toLower();
    return lower.isEmpty() ? lower : lower.left(1).toUpper() + lower.mid(1);
}

QString description(TNavigateBtn kind, const QString& before = {}) {
    const ClientWindowKeys::ButtonKeys& keys = ClientWindowKeys::forKind(kind);
    QString text = keys.does;
    if (!before.isEmpty())
        text += QLatin1Char(' ') + before;
    return text + QStringLiteral(" Клавиша: %1.").arg(keys.keyWords);
}

} // namespace

void ClientWindow::nameForAccessibility(const Shape& shape) {
    Accessibility::setRole(Panel1, QAccessible::Pane);
    Panel1->setAccessibleName(QStringLiteral("Панель кнопок"));
    DBNavigator->setAccessibleName(QStringLiteral("Кнопки карточек"));
    Accessibility::setRole(Panel2, QAccessible::Pane);
    Panel2->setAccessibleName(QStringLiteral("Карточка клиента"));
    Accessibility::setRole(ScrollBox, QAccessible::Pane);
    ScrollBox->setAccessibleName(QStringLiteral("Поля карточки"));

    // The words under the buttons stand in the order of the visible buttons.
    qsizetype word = 0;
    for (int k = 0; k < NavigateBtnCount; ++k) {
        const auto kind = TNavigateBtn(k);
        if (!shape.buttons.contains(kind))
            continue;
        TNavButton* button = DBNavigator->Button(kind);
        if (word < shape.barLabels.size())
            button->setAccessibleName(sentenceCase(shape.barLabels[word++]->text()));
        button->setAccessibleDescription(description(kind));
        button->setKeys(ClientWindowKeys::forKind(kind).shown);
    }
}

void ClientWindow::renameButton(TNavigateBtn kind, const QString& name, const QLabel* word) {
    TNavButton* button = DBNavigator->Button(kind);
    button->setAccessibleName(name);
    button->setAccessibleDescription(description(kind, QStringLiteral("Подпись под кнопкой: «%1».").arg(word->text())));
}

bool ClientWindow::HandleKey(const QKeyEvent& key) {
    const std::optional<TNavigateBtn> kind = ClientWindowKeys::kindForKey(key, DBNavigator->VisibleButtons());
    if (!kind)
        return false;
    TNavButton* button = DBNavigator->Button(*kind);
    if (button->isEnabled())
        button->Press();
    else
        QApplication::beep();
    return true;
}

void ClientWindow::keyPressEvent(QKeyEvent* event) {
    bool taken = false;
    guarded([&] { taken = HandleKey(*event); });
    if (taken) {
        event->accept();
        return;
    }
    TForm::keyPressEvent(event);
}
