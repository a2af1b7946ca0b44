#include "PlatformChoice.h"

#include <cstdlib>
#include <cstring>

namespace PlatformChoice {

namespace {
bool set(const char* value) { return value && *value; }
} // namespace

std::string platformFor(const Environment& env, bool platformOnCommandLine) {
    if (platformOnCommandLine || set(env("QT_QPA_PLATFORM")))
        return {};
    const char* session = env("XDG_SESSION_TYPE");
    const bool wayland = set(env("WAYLAND_DISPLAY")) || (session && std::strcmp(session, "wayland") == 0);
    if (!wayland || !set(env("DISPLAY")))
        return {};
    return "xcb;wayland";
}

void apply(int argc, char** argv) {
    bool onCommandLine = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
            std::strncmp(argv[i], "-platform=", 10) == 0 || std::strncmp(argv[i], "--platform=", 11) == 0)
            onCommandLine = true;
    }
    const std::string choice = platformFor([](const char* name) { return std::getenv(name); }, onCommandLine);
    if (!choice.empty())
        ::setenv("QT_QPA_PLATFORM", choice.c_str(), 1);
}

} // namespace PlatformChoice
