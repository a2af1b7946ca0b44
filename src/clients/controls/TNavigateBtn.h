#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>

// The navigator bar's button kinds, in their fixed left-to-right order. The
// order also gives each button's place in the hint list.
enum TNavigateBtn {
    nbFirst, nbPrior, nbNext, nbLast, nbInsert,
    nbDelete, nbEdit, nbPost, nbCancel, nbRefresh
};
inline constexpr int NavigateBtnCount = 10;

// A set of button kinds.
class TButtonSet {
public:
    constexpr TButtonSet() = default;
    constexpr TButtonSet(std::initializer_list<TNavigateBtn> kinds) {
        for (TNavigateBtn kind : kinds) bits_ |= bit(kind);
    }
    static constexpr TButtonSet all() { TButtonSet s; s.bits_ = (1u << NavigateBtnCount) - 1; return s; }

    constexpr bool contains(TNavigateBtn kind) const { return (bits_ & bit(kind)) != 0; }
    constexpr void insert(TNavigateBtn kind) { bits_ |= bit(kind); }
    constexpr void remove(TNavigateBtn kind) { bits_ &= ~bit(kind); }
    constexpr void set(TNavigateBtn kind, bool on) { on ? insert(kind) : remove(kind); }
    constexpr int count() const {
        int n = 0;
        for (unsigned b = bits_; b; b &= b - 1) ++n;
        return n;
    }
    constexpr bool isEmpty() const { return bits_ == 0; }
    constexpr bool operator==(const TButtonSet&) const = default;

private:
    static constexpr unsigned bit(TNavigateBtn kind) { return 1u << int(kind); }
    unsigned bits_ = 0;
};

// The word that names a kind's glyph ("dbn_" + word) in upper case.
QString navigateBtnWord(TNavigateBtn kind);
// The ten default hint texts, in kind order.
const QStringList& defaultNavigatorHints();
