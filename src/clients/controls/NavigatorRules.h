#pragma once

#include "TNavigateBtn.h"

#include <QRect>
#include <QSize>
#include <QStringList>
#include <array>

// The navigator bar's rules that need no widgets: its size rule and button
// layout, which buttons are enabled in which cursor state, and its hints.
struct NavigatorRules {
    static constexpr int MinButtonWidth = 20;
    static constexpr int MinButtonHeight = 18;

    // The number of visible buttons; a bar with none visible counts one.
    static int buttonCount(TButtonSet visible);

    // A proposed bar size made valid: at least 20 x 18 per button, and for a
    // bar not aligned to an edge of its parent the width is cut down to a
    // whole multiple of the button count.
    static QSize sizeRule(QSize proposed, TButtonSet visible, bool aligned);

    struct Layout {
        QSize size;                          // the bar's size after the size rule
        int buttonWidth = 0;
        std::array<QRect, NavigateBtnCount> buttons; // by kind
    };
    // Places the buttons on a bar of the given size (the size rule applied
    // first). Visible buttons stand side by side from x = 0; an aligned bar
    // spreads the remainder pixels over them with an error term. Hidden
    // buttons are parked just outside the bar, at x = width + 1.
    static Layout layout(QSize proposed, TButtonSet visible, bool aligned);

    // What the buttons are told about the cursor.
    struct State {
        bool enabled = false;   // the bar itself is enabled
        bool active = false;    // the data link is active (source set, cursor open)
        bool bof = true;
        bool eof = true;
        bool canModify = false;
        bool editing = false;   // edit or insert state
    };
    // The kinds that the move update enables (of First, Prior, Next, Last, Delete).
    static TButtonSet enabledMoveButtons(const State& state);
    // The kinds that the edit update enables (of Insert, Edit, Post, Cancel, Refresh).
    static TButtonSet enabledEditButtons(const State& state);
    static constexpr TButtonSet moveKinds() { return {nbFirst, nbPrior, nbNext, nbLast, nbDelete}; }
    static constexpr TButtonSet editKinds() { return {nbInsert, nbEdit, nbPost, nbCancel, nbRefresh}; }

    // The ten hint texts: the defaults, replaced by position by the non-empty
    // entries of the given list (entries after the tenth are ignored).
    static std::array<QString, NavigateBtnCount> buttonHints(const QStringList& hints);
    // How a hint list is kept: a list equal to the defaults is kept empty.
    static QStringList storedHints(const QStringList& hints);
};
