#include "ExitRequests.h"

#include "TApplication.h"

#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

int g_signalPipe[2] = {-1, -1};

// A signal handler may do almost nothing: it only wakes the event loop.
void onExitSignal(int number) {
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] ssize_t w = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void watchExitRequests(TApplication& app) {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        app.Terminate();
    });
    struct sigaction action {};
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);

    // The session is ending: store what can be stored; a record that cannot
    // be stored keeps the session from ending where the desktop allows it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&app](QSessionManager& manager) {
        if (!app.SettleForms() && manager.allowsInteraction())
            manager.cancel();
    });
}
