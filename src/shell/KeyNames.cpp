#include "KeyNames.h"

#include <QKeyEvent>
#include <string>

namespace {

// The Latin letter or digit printed on a key of the standard keyboard, from the
// key's scan code (X11 and Wayland on Linux: the kernel's key code + 8), or 0.
int latinKeyAt(quint32 scanCode) {
    static constexpr struct {
        quint32 first;
        const char* keys;
    } rows[] = {{10, "1234567890"}, {24, "QWERTYUIOP"}, {38, "ASDFGHJKL"}, {52, "ZXCVBNM"}};
    for (const auto& row : rows) {
        const quint32 length = quint32(std::char_traits<char>::length(row.keys));
        if (scanCode >= row.first && scanCode < row.first + length)
            return row.keys[scanCode - row.first];
    }
    return 0;
}

bool isLatinLetterOrDigit(int key) {
    return (key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9);
}

} // namespace

QKeySequence namedKey(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    int code = key.key();
    if (!isLatinLetterOrDigit(code) && latinKeyAt(key.nativeScanCode()) != 0)
        code = latinKeyAt(key.nativeScanCode());
    return QKeySequence(QKeyCombination(mods, Qt::Key(code)));
}
