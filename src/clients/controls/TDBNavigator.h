#pragma once

#include "NavigatorRules.h"
#include "TNavDataLink.h"
#include "TNavigateBtn.h"
#include "TRepeatTimer.h"

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class TDataSource;
class TNavButton;

// The record navigator bar: a strip of buttons that drive the cursor of one
// table through a data source. The buttons enable and disable themselves as
// the cursor moves and as it enters and leaves editing. The bar never takes
// the keyboard focus; it is worked with the mouse.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    TDataSource* DataSource() const;
    void setDataSource(TDataSource* source);

    TButtonSet VisibleButtons() const { return visibleButtons_; }
    void setVisibleButtons(TButtonSet buttons);

    bool Flat() const { return flat_; }
    void setFlat(bool flat);

    // Replacement hints by position over all ten kinds; a list equal to the
    // default hints is kept as an empty list.
    const QStringList& Hints() const { return hints_; }
    void setHints(const QStringList& hints);

    bool ConfirmDelete() const { return confirmDelete_; }
    void setConfirmDelete(bool on) { confirmDelete_ = on; }

    // A bar aligned to an edge of its parent keeps any width and spreads the
    // remainder pixels over its buttons; an unaligned one cuts its width.
    bool Aligned() const { return aligned_; }
    void setAligned(bool aligned);

    using TNavClick = std::function<void(TDBNavigator* sender, TNavigateBtn button)>;
    TNavClick BeforeAction;
    TNavClick OnClick;

    // Places the bar; the size passes through the size rule first.
    void SetBounds(int left, int top, int width, int height);
    int ButtonWidth() const { return buttonWidth_; }
    TNavButton* Button(TNavigateBtn kind) const { return buttons_.at(int(kind)); }
    TNavigateBtn FocusedButton() const { return focusedButton_; }

    // The click action of a button kind: runs the table operation (Delete
    // after confirmation) when the table is open, then OnClick. Errors of the
    // operation go on to the caller.
    void BtnClick(TNavigateBtn kind);

    void UpdateAllButtons();
    void UpdateMoveButtons();
    void UpdateEditButtons();

    // Where the Prior and Next buttons get their repeat timers (a window timer
    // unless set otherwise).
    void setRepeatTimerFactory(TRepeatTimerFactory factory) { timerFactory_ = std::move(factory); }
    std::unique_ptr<TRepeatTimer> createRepeatTimer() const;

    QSize sizeHint() const override { return {241, 25}; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TNavDataLink;
    friend class TNavButton;
    void ActiveChanged() { UpdateAllButtons(); }
    void EditingChanged() { UpdateEditButtons(); }
    void DataChanged() { UpdateMoveButtons(); }
    void BtnMouseDown(TNavigateBtn kind) { focusedButton_ = kind; }
    void applyLayout();
    void applyHints();
    NavigatorRules::State cursorState() const;

    TNavDataLink dataLink_;
    std::array<TNavButton*, NavigateBtnCount> buttons_{};
    TButtonSet visibleButtons_ = TButtonSet::all();
    QStringList hints_;
    bool flat_ = false;
    bool confirmDelete_ = true;
    bool aligned_ = false;
    bool layingOut_ = false;
    int buttonWidth_ = 0;
    TNavigateBtn focusedButton_ = nbFirst;
    TRepeatTimerFactory timerFactory_;
};
