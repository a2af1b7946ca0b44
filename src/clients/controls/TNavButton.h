#pragma once

#include "TNavigateBtn.h"
#include "TRepeatTimer.h"
#include "TSpeedButton.h"

#include <memory>

class TDBNavigator;

// One button of the navigator bar. It knows its kind, and the Prior and Next
// buttons repeat their click while held down.
class TNavButton : public TSpeedButton {
    Q_OBJECT
public:
    TNavButton(TDBNavigator* navigator, TNavigateBtn kind);
    ~TNavButton() override;

    TNavigateBtn Index() const { return kind_; }
    // Repeats the click while held: first after 400 ms, then every 100 ms.
    bool AutoRepeat() const { return autoRepeat_; }
    void setAutoRepeat(bool on) { autoRepeat_ = on; }
    // The hint text. The program never shows hints, so it is only kept.
    const QString& Hint() const { return hint_; }
    void setHint(const QString& hint) { hint_ = hint; }

    // The repeat timer, made at the first press (null before).
    TRepeatTimer* RepeatTimer() const { return timer_.get(); }

    // Runs the bar's action for this button's kind. Errors go on to the caller.
    void Click() override;
    // As a click: the bar records this kind as its focused one, then the action runs.
    void Press() override;

    static constexpr int InitRepeatPause = 400;
    static constexpr int RepeatPause = 100;

protected:
    void MouseDown(QMouseEvent* event) override;
    void MouseUp(QMouseEvent* event) override;
    void PressCancelled() override;
    void changeEvent(QEvent* event) override;

private:
    void TimerExpired();

    TDBNavigator* navigator_;
    TNavigateBtn kind_;
    bool autoRepeat_ = false;
    QString hint_;
    std::unique_ptr<TRepeatTimer> timer_;
};
