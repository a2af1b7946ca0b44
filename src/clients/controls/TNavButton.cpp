#include "TNavButton.h"

#include "Guarded.h"
#include "TDBNavigator.h"

#include <QEvent>

TNavButton::TNavButton(TDBNavigator* navigator, TNavigateBtn kind)
    : TSpeedButton(navigator), navigator_(navigator), kind_(kind)
{
    setObjectName(QStringLiteral("Button") + navigateBtnWord(kind));
}

TNavButton::~TNavButton() = default;

void TNavButton::Click()
{
    TSpeedButton::Click();
    navigator_->BtnClick(kind_);
}

void TNavButton::Press()
{
    if (!isEnabled() || !isVisible())
        return;
    navigator_->BtnMouseDown(kind_);
    TSpeedButton::Press();
}

void TNavButton::MouseDown(QMouseEvent*)
{
    navigator_->BtnMouseDown(kind_);
    if (!autoRepeat_)
        return;
    if (!timer_) {
        timer_ = navigator_->createRepeatTimer();
        timer_->onTick = [this] { guarded([this] { TimerExpired(); }); };
    }
    timer_->start(InitRepeatPause);
}

void TNavButton::MouseUp(QMouseEvent*)
{
    // The click that the release itself gives follows this.
    if (timer_)
        timer_->stop();
}

void TNavButton::PressCancelled()
{
    if (timer_)
        timer_->stop();
}

void TNavButton::changeEvent(QEvent* event)
{
    // A button disabled while held (Next finding the end) stops repeating.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && timer_)
        timer_->stop();
    TSpeedButton::changeEvent(event);
}

void TNavButton::TimerExpired()
{
    timer_->setInterval(RepeatPause);
    if (!isDown() || !isMouseCaptured())
        return;
    try {
        Click();
    } catch (...) {
        // Stop before the error is reported, or the report's own loop would
        // keep receiving ticks.
        if (timer_)
            timer_->stop();
        throw;
    }
}
