// Byte-order helpers. Table and block headers are little-endian; field values
// are big-endian (with the sign bit flipped, see FieldCodec).
#pragma once

#include <cstdint>

namespace ke {

inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t le64(const uint8_t* p) { return uint64_t(le32(p)) | (uint64_t(le32(p + 4)) << 32); }
inline int16_t les16(const uint8_t* p) { return int16_t(le16(p)); }
inline void putLe16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

inline void putLe64(uint8_t* p, uint64_t v)
{
    putLe32(p, uint32_t(v));
    putLe32(p + 4, uint32_t(v >> 32));
}

// The words of a primary-index entry: big-endian with the top bit flipped,
// as a Short field value is stored (1 is 80 01).
inline uint16_t indexWord(const uint8_t* p) { return uint16_t(((p[0] << 8) | p[1]) ^ 0x8000); }
inline void putIndexWord(uint8_t* p, uint16_t v)
{
    v ^= 0x8000;
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

} // namespace ke
