#pragma once

#include <cstdint>

namespace ke {

// The English text of a result code; nullptr for a code the engine does not know.
const char* errorText(uint16_t code);

} // namespace ke
