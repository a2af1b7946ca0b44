#include "NavigatorRules.h"

#include <algorithm>

int NavigatorRules::buttonCount(TButtonSet visible)
{
    return std::max(1, visible.count());
}

QSize NavigatorRules::sizeRule(QSize proposed, TButtonSet visible, bool aligned)
{
    const int count = buttonCount(visible);
    int width = std::max(proposed.width(), count * MinButtonWidth);
    const int height = std::max(proposed.height(), MinButtonHeight);
    if (!aligned)
        width = (width / count) * count;
    return {width, height};
}

NavigatorRules::Layout NavigatorRules::layout(QSize proposed, TButtonSet visible, bool aligned)
{
    Layout result;
    result.size = sizeRule(proposed, visible, aligned);
    const int count = buttonCount(visible);
    const int width = result.size.width();
    const int height = result.size.height();
    result.buttonWidth = width / count;
    const int remainder = width - count * result.buttonWidth;
    int term = count / 2;
    int x = 0;
    for (int i = 0; i < NavigateBtnCount; ++i) {
        const auto kind = TNavigateBtn(i);
        if (visible.contains(kind)) {
            int w = result.buttonWidth;
            if (remainder != 0) {
                term -= remainder;
                if (term < 0) {
                    term += count;
                    ++w;
                }
            }
            result.buttons[i] = QRect(x, 0, w, height);
            x += w;
        } else {
            result.buttons[i] = QRect(width + 1, 0, result.buttonWidth, height);
        }
    }
    return result;
}

TButtonSet NavigatorRules::enabledMoveButtons(const State& s)
{
    const bool a = s.enabled && s.active;
    TButtonSet on;
    on.set(nbFirst, a && !s.bof);
    on.set(nbPrior, a && !s.bof);
    on.set(nbNext, a && !s.eof);
    on.set(nbLast, a && !s.eof);
    on.set(nbDelete, a && s.canModify && !(s.bof && s.eof));
    return on;
}

TButtonSet NavigatorRules::enabledEditButtons(const State& s)
{
    const bool a = s.enabled && s.active && s.canModify;
    TButtonSet on;
    on.set(nbInsert, a);
    on.set(nbRefresh, a);
    on.set(nbEdit, a && !s.editing);
    on.set(nbPost, a && s.editing);
    on.set(nbCancel, a && s.editing);
    return on;
}

std::array<QString, NavigateBtnCount> NavigatorRules::buttonHints(const QStringList& hints)
{
    std::array<QString, NavigateBtnCount> result;
    const QStringList& defaults = defaultNavigatorHints();
    for (int i = 0; i < NavigateBtnCount; ++i)
        result[i] = defaults.at(i);
    for (int i = 0; i < std::min<qsizetype>(hints.size(), NavigateBtnCount); ++i)
        if (!hints.at(i).isEmpty())
            result[i] = hints.at(i);
    return result;
}

QStringList NavigatorRules::storedHints(const QStringList& hints)
{
    return hints == defaultNavigatorHints() ? QStringList() : hints;
}
