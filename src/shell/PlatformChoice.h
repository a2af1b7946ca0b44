#pragma once

#include <functional>
#include <string>

// The windowing platform the program runs on.
//
// A Wayland compositor lets no program place its own windows, but the menu
// strip belongs at the top-left corner and every window opens at a place of
// its own. So in a Wayland session with an X server at hand (XWayland,
// DISPLAY set) the program asks Qt for X11, falling back to Wayland when that
// server cannot be reached. A platform the user chose (QT_QPA_PLATFORM, or
// -platform on the command line) is left alone.
namespace PlatformChoice {

using Environment = std::function<const char*(const char* name)>;

// The value for QT_QPA_PLATFORM, or an empty string to leave Qt's own choice.
std::string platformFor(const Environment& env, bool platformOnCommandLine);

// Applies platformFor() to the process environment before the toolkit starts.
void apply(int argc, char** argv);

} // namespace PlatformChoice
