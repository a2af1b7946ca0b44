// The 6-byte header of a data block and the records behind it.
#pragma once

#include "Endian.h"
#include "Format.h"

#include <cstddef>
#include <cstdint>

namespace ke {

struct BlockView {
    uint16_t next = 0;
    uint16_t prev = 0;
    int count = 0;
    const uint8_t* records = nullptr;
};

inline void setBlockCount(uint8_t* block, int count, uint16_t recordSize)
{
    putLe16(block + blk::LastOffset, uint16_t(int16_t((count - 1) * int(recordSize))));
}

} // namespace ke
