#pragma once

#include <utility>

// Runs one of our handlers. Exceptions must never unwind through Qt's frames,
// so every entry from Qt into our code goes through here: whatever escapes the
// handler is handed to the application error report, and the program goes on.
void reportHandlerException(std::exception_ptr error) noexcept;

template <class F> void guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        reportHandlerException(std::current_exception());
    }
}
