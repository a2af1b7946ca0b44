// Failures inside the engine. They are thrown by the driver code and turned
// into result codes plus error-stack entries at the C interface; no exception
// ever leaves the library.
#pragma once

#include <cstdint>
#include <string>

namespace ke {

struct EngineError {
    uint16_t code;
    int32_t nativeCode = 0;
    std::string context;
};

[[noreturn]] inline void fail(uint16_t code, std::string context = {}, int32_t nativeCode = 0)
{
    throw EngineError{code, nativeCode, std::move(context)};
}

// An I/O failure: the context names the file, the native code is errno.
[[noreturn]] void failIo(const std::string& what, const std::string& path, int err);

} // namespace ke
