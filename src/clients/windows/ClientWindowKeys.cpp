#include "ClientWindowKeys.h"

#include "KeyNames.h"

#include <QKeyEvent>
#include <stdexcept>

namespace ClientWindowKeys {

namespace {

QKeySequence ctrl(Qt::Key key) { return QKeySequence(Qt::CTRL | key); }

} // namespace

const QList<ButtonKeys>& buttons() {
    // Ctrl+Plus is Ctrl with the "=" key, Shift held or not, or the keypad's plus.
    static const QList<ButtonKeys> table{
        {nbFirst, {ctrl(Qt::Key_Home)}, {ctrl(Qt::Key_Home)}, QStringLiteral("Ctrl+Home"),
         QStringLiteral("Переходит к первой карточке.")},
        {nbPrior, {ctrl(Qt::Key_PageUp)}, {ctrl(Qt::Key_PageUp)}, QStringLiteral("Ctrl+Page Up"),
         QStringLiteral("Переходит к предыдущей карточке.")},
        {nbNext, {ctrl(Qt::Key_PageDown)}, {ctrl(Qt::Key_PageDown)}, QStringLiteral("Ctrl+Page Down"),
         QStringLiteral("Переходит к следующей карточке.")},
        {nbLast, {ctrl(Qt::Key_End)}, {ctrl(Qt::Key_End)}, QStringLiteral("Ctrl+End"),
         QStringLiteral("Переходит к последней карточке.")},
        {nbInsert,
         {QKeySequence(Qt::Key_Insert), ctrl(Qt::Key_Plus), ctrl(Qt::Key_Equal),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)},
         {QKeySequence(Qt::Key_Insert), ctrl(Qt::Key_Plus)},
         QStringLiteral("Insert или Ctrl+плюс"),
         QStringLiteral("Начинает новую карточку; начатая перед этим сохраняется.")},
        {nbDelete, {ctrl(Qt::Key_Minus)}, {ctrl(Qt::Key_Minus)}, QStringLiteral("Ctrl+минус"),
         QStringLiteral("Удаляет карточку после вопроса; новую, ещё не сохранённую, отменяет.")},
        {nbCancel, {ctrl(Qt::Key_Minus)}, {ctrl(Qt::Key_Minus)}, QStringLiteral("Ctrl+минус"),
         QStringLiteral("Отменяет новую карточку или правку и снова показывает сохранённую; ничего не удаляет.")},
    };
    return table;
}

const ButtonKeys& forKind(TNavigateBtn kind) {
    for (const ButtonKeys& entry : buttons())
        if (entry.kind == kind)
            return entry;
    throw std::out_of_range("no keys for this navigator button");
}

std::optional<TNavigateBtn> kindForKey(const QKeyEvent& key, TButtonSet visible) {
    const QKeySequence pressed = namedKey(key);
    for (const ButtonKeys& entry : buttons())
        if (visible.contains(entry.kind) && entry.keys.contains(pressed))
            return entry.kind;
    return std::nullopt;
}

} // namespace ClientWindowKeys
