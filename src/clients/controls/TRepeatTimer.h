#pragma once

#include <functional>
#include <memory>

class QObject;

// The timer behind a navigator button's auto-repeat. The program uses a window
// timer on the user-interface thread; tests put a timer of their own in its
// place and drive it with a clock they control.
class TRepeatTimer {
public:
    virtual ~TRepeatTimer() = default;
    // Starts (or restarts) the timer: the first tick comes after intervalMs.
    virtual void start(int intervalMs) = 0;
    // The time between later ticks; a running timer keeps going with it.
    virtual void setInterval(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;

    // Called at each tick.
    std::function<void()> onTick;

    // A timer that runs on the event loop.
    static std::unique_ptr<TRepeatTimer> createEventLoopTimer();
};

using TRepeatTimerFactory = std::function<std::unique_ptr<TRepeatTimer>()>;
