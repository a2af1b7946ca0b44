#include "TRepeatTimer.h"

#include "Guarded.h"

#include <QTimer>

namespace {

class EventLoopRepeatTimer final : public TRepeatTimer {
public:
    EventLoopRepeatTimer()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            guarded([this] {
                if (onTick)
                    onTick();
            });
        });
    }
    void start(int intervalMs) override { timer_.start(intervalMs); }
    void setInterval(int intervalMs) override { timer_.setInterval(intervalMs); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }
    int interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
};

} // namespace

std::unique_ptr<TRepeatTimer> TRepeatTimer::createEventLoopTimer()
{
    return std::make_unique<EventLoopRepeatTimer>();
}
