// The scrambling of password-protected tables. The header stays in clear; every
// block, its own link words included, is scrambled as whole 256-byte chunks
// with parameters taken from the key's two low bytes, the block's number and
// the chunk's place in the block. The 32-bit key stored in the header is made
// from the password alone, so its high half serves as the password check.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ke::scramble {

constexpr size_t kChunk = 256;

// One 256-byte chunk, `in` and `out` distinct.
void scrambleChunk(const uint8_t* in, uint8_t* out, uint8_t k0, uint8_t k1, uint8_t s, uint8_t t);
void unscrambleChunk(const uint8_t* in, uint8_t* out, uint8_t k0, uint8_t k1, uint8_t s, uint8_t t);

// The key of a password given as bytes (the table's code page); 0 for an empty one.
// Passwords longer than 255 bytes have no key (0).
uint32_t keyOf(const std::string& password);

// Scrambles and unscrambles whole blocks of one key, in place.
class BlockScrambler {
public:
    explicit BlockScrambler(uint32_t key = 0);
    uint32_t key() const { return m_key; }
    bool active() const { return m_key != 0; }
    // `size` is a multiple of 256; `block` is the block's number in the file (from 1).
    void scramble(uint8_t* data, size_t size, uint16_t block) const;
    void unscramble(uint8_t* data, size_t size, uint16_t block) const;
    // From `in` into `out` (not overlapping), saving the copy an in-place pass needs.
    void unscramble(const uint8_t* in, uint8_t* out, size_t size, uint16_t block) const;

private:
    template <bool Scrambling>
    void transform(const uint8_t* in, uint8_t* out, size_t size, uint16_t block) const;

    uint32_t m_key;
    // For each block-number byte t: where byte i of a chunk goes, and the part
    // of its mask that does not depend on the chunk's place.
    struct Layout {
        std::array<uint8_t, kChunk> to;
        std::array<uint8_t, kChunk> mask;
    };
    std::array<Layout, 256> m_layouts;
};

} // namespace ke::scramble
