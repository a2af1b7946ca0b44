#pragma once

#include "TNavigateBtn.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <optional>

class QKeyEvent;

// The keys a client window offers for its navigator's buttons, for a user
// without a mouse. None of them is used by a single-line box (which ignores
// them and lets the window have them), by the scroll box (which takes PgUp
// and PgDn) or by the application-wide Ctrl+C.
namespace ClientWindowKeys {

struct ButtonKeys {
    TNavigateBtn kind;
    QList<QKeySequence> keys; // every combination that presses the button
    QList<QKeySequence> shown; // the ones announced on the accessibility bus
    QString keyWords;          // the keys as the user guide and the descriptions name them
    QString does;              // what the button does, one sentence
};

// The six buttons of the client base window, and the entry window's Cancel,
// which stands above the word "УДАЛИТЬ" and so shares Delete's key.
const QList<ButtonKeys>& buttons();
const ButtonKeys& forKind(TNavigateBtn kind);

// The button kind whose key this is, if any. The keys for Delete and Cancel
// are the same; `visible` picks the one the window shows.
std::optional<TNavigateBtn> kindForKey(const QKeyEvent& key, TButtonSet visible);

} // namespace ClientWindowKeys
