#include "ocisim/engine/Md5.h"

#include <cstring>

namespace ocisim {

namespace {

std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

std::uint32_t Word(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The four rounds written out step by step: every shift, constant and message
// word is known where it is used.
#define MD5_STEP(f, a, b, c, d, x, s, t) \
    a += f(b, c, d) + (x) + (t);         \
    a = RotateLeft(a, s) + (b)
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

void Block(std::uint32_t state[4], const std::uint8_t* block) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = Word(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    MD5_STEP(MD5_F, a, b, c, d, m[0], 7, 0xd76aa478);
    MD5_STEP(MD5_F, d, a, b, c, m[1], 12, 0xe8c7b756);
    MD5_STEP(MD5_F, c, d, a, b, m[2], 17, 0x242070db);
    MD5_STEP(MD5_F, b, c, d, a, m[3], 22, 0xc1bdceee);
    MD5_STEP(MD5_F, a, b, c, d, m[4], 7, 0xf57c0faf);
    MD5_STEP(MD5_F, d, a, b, c, m[5], 12, 0x4787c62a);
    MD5_STEP(MD5_F, c, d, a, b, m[6], 17, 0xa8304613);
    MD5_STEP(MD5_F, b, c, d, a, m[7], 22, 0xfd469501);
    MD5_STEP(MD5_F, a, b, c, d, m[8], 7, 0x698098d8);
    MD5_STEP(MD5_F, d, a, b, c, m[9], 12, 0x8b44f7af);
    MD5_STEP(MD5_F, c, d, a, b, m[10], 17, 0xffff5bb1);
    MD5_STEP(MD5_F, b, c, d, a, m[11], 22, 0x895cd7be);
    MD5_STEP(MD5_F, a, b, c, d, m[12], 7, 0x6b901122);
    MD5_STEP(MD5_F, d, a, b, c, m[13], 12, 0xfd987193);
    MD5_STEP(MD5_F, c, d, a, b, m[14], 17, 0xa679438e);
    MD5_STEP(MD5_F, b, c, d, a, m[15], 22, 0x49b40821);

    MD5_STEP(MD5_G, a, b, c, d, m[1], 5, 0xf61e2562);
    MD5_STEP(MD5_G, d, a, b, c, m[6], 9, 0xc040b340);
    MD5_STEP(MD5_G, c, d, a, b, m[11], 14, 0x265e5a51);
    MD5_STEP(MD5_G, b, c, d, a, m[0], 20, 0xe9b6c7aa);
    MD5_STEP(MD5_G, a, b, c, d, m[5], 5, 0xd62f105d);
    MD5_STEP(MD5_G, d, a, b, c, m[10], 9, 0x02441453);
    MD5_STEP(MD5_G, c, d, a, b, m[15], 14, 0xd8a1e681);
    MD5_STEP(MD5_G, b, c, d, a, m[4], 20, 0xe7d3fbc8);
    MD5_STEP(MD5_G, a, b, c, d, m[9], 5, 0x21e1cde6);
    MD5_STEP(MD5_G, d, a, b, c, m[14], 9, 0xc33707d6);
    MD5_STEP(MD5_G, c, d, a, b, m[3], 14, 0xf4d50d87);
    MD5_STEP(MD5_G, b, c, d, a, m[8], 20, 0x455a14ed);
    MD5_STEP(MD5_G, a, b, c, d, m[13], 5, 0xa9e3e905);
    MD5_STEP(MD5_G, d, a, b, c, m[2], 9, 0xfcefa3f8);
    MD5_STEP(MD5_G, c, d, a, b, m[7], 14, 0x676f02d9);
    MD5_STEP(MD5_G, b, c, d, a, m[12], 20, 0x8d2a4c8a);

    MD5_STEP(MD5_H, a, b, c, d, m[5], 4, 0xfffa3942);
    MD5_STEP(MD5_H, d, a, b, c, m[8], 11, 0x8771f681);
    MD5_STEP(MD5_H, c, d, a, b, m[11], 16, 0x6d9d6122);
    MD5_STEP(MD5_H, b, c, d, a, m[14], 23, 0xfde5380c);
    MD5_STEP(MD5_H, a, b, c, d, m[1], 4, 0xa4beea44);
    MD5_STEP(MD5_H, d, a, b, c, m[4], 11, 0x4bdecfa9);
    MD5_STEP(MD5_H, c, d, a, b, m[7], 16, 0xf6bb4b60);
    MD5_STEP(MD5_H, b, c, d, a, m[10], 23, 0xbebfbc70);
    MD5_STEP(MD5_H, a, b, c, d, m[13], 4, 0x289b7ec6);
    MD5_STEP(MD5_H, d, a, b, c, m[0], 11, 0xeaa127fa);
    MD5_STEP(MD5_H, c, d, a, b, m[3], 16, 0xd4ef3085);
    MD5_STEP(MD5_H, b, c, d, a, m[6], 23, 0x04881d05);
    MD5_STEP(MD5_H, a, b, c, d, m[9], 4, 0xd9d4d039);
    MD5_STEP(MD5_H, d, a, b, c, m[12], 11, 0xe6db99e5);
    MD5_STEP(MD5_H, c, d, a, b, m[15], 16, 0x1fa27cf8);
    MD5_STEP(MD5_H, b, c, d, a, m[2], 23, 0xc4ac5665);

    MD5_STEP(MD5_I, a, b, c, d, m[0], 6, 0xf4292244);
    MD5_STEP(MD5_I, d, a, b, c, m[7], 10, 0x432aff97);
    MD5_STEP(MD5_I, c, d, a, b, m[14], 15, 0xab9423a7);
    MD5_STEP(MD5_I, b, c, d, a, m[5], 21, 0xfc93a039);
    MD5_STEP(MD5_I, a, b, c, d, m[12], 6, 0x655b59c3);
    MD5_STEP(MD5_I, d, a, b, c, m[3], 10, 0x8f0ccc92);
    MD5_STEP(MD5_I, c, d, a, b, m[10], 15, 0xffeff47d);
    MD5_STEP(MD5_I, b, c, d, a, m[1], 21, 0x85845dd1);
    MD5_STEP(MD5_I, a, b, c, d, m[8], 6, 0x6fa87e4f);
    MD5_STEP(MD5_I, d, a, b, c, m[15], 10, 0xfe2ce6e0);
    MD5_STEP(MD5_I, c, d, a, b, m[6], 15, 0xa3014314);
    MD5_STEP(MD5_I, b, c, d, a, m[13], 21, 0x4e0811a1);
    MD5_STEP(MD5_I, a, b, c, d, m[4], 6, 0xf7537e82);
    MD5_STEP(MD5_I, d, a, b, c, m[11], 10, 0xbd3af235);
    MD5_STEP(MD5_I, c, d, a, b, m[2], 15, 0x2ad7d2bb);
    MD5_STEP(MD5_I, b, c, d, a, m[9], 21, 0xeb86d391);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef MD5_STEP
#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

// The digest of `data` followed by `zeros` zero bytes (0 or 1).
std::array<std::uint8_t, 16> Digest(std::string_view data, std::size_t zeros) {
    std::uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t whole = data.size() / 64 * 64;
    for (std::size_t i = 0; i < whole; i += 64)
        Block(state, bytes + i);
    // The tail, the zeros, a one bit, zeros and the length in bits fill one or
    // two last blocks.
    std::uint8_t tail[128] = {};
    const std::size_t rest = data.size() - whole;
    if (rest > 0) std::memcpy(tail, bytes + whole, rest);
    const std::size_t used = rest + zeros;  // the tail's zeros are already there
    tail[used] = 0x80;
    const std::size_t tailSize = used < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size() + zeros) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    Block(state, tail);
    if (tailSize == 128) Block(state, tail + 64);
    std::array<std::uint8_t, 16> digest{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            digest[i * 4 + j] = static_cast<std::uint8_t>(state[i] >> (8 * j));
    return digest;
}

}  // namespace

std::array<std::uint8_t, 16> Md5(std::string_view data) { return Digest(data, 0); }

std::array<std::uint8_t, 16> Md5WithZero(std::string_view data) { return Digest(data, 1); }

}  // namespace ocisim
