#pragma once

#include <QKeySequence>

class QKeyEvent;

// Shortcuts name keys, not characters: with a Cyrillic layout active the key
// marked C still gives Ctrl+C. The combination pressed, with Ctrl, Shift and
// Alt (the keypad flag dropped) and a key that types no Latin letter or digit
// named by the Latin letter or digit printed on it, when it has one.
QKeySequence namedKey(const QKeyEvent& key);
