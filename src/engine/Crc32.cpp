#include "engine/Crc32.h"

#include <zlib.h>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define CRC32_FOLDING 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

uint32_t ZlibCrc(uint32_t crc, const unsigned char* data, size_t size) {
    // zlib takes at most a uInt per call.
    while (size > 0) {
        uInt n = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        crc = static_cast<uint32_t>(crc32(crc, data, n));
        data += n;
        size -= n;
    }
    return crc;
}

#ifdef CRC32_FOLDING

#define CRC32_TARGET __attribute__((target("pclmul,sse4.1")))

CRC32_TARGET inline __m128i load(const unsigned char* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// x times the folding constants (low and high halves), added to the next block.
CRC32_TARGET inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Folding with carry-less multiplication (Gopal et al., "Fast CRC
// Computation for Generic Polynomials Using PCLMULQDQ Instruction", Intel,
// 2009), constants for the bit-reflected polynomial 0xEDB88320. Takes the
// inverted running CRC and returns it inverted; size is a multiple of 16,
// at least 64.
CRC32_TARGET uint32_t FoldCrc(uint32_t crc, const unsigned char* p, size_t size) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
    p += 64;
    size -= 64;
    while (size >= 64) {  // four lanes of 16 bytes, folded 64 bytes ahead
        x1 = fold(x1, k1k2, load(p));
        x2 = fold(x2, k1k2, load(p + 16));
        x3 = fold(x3, k1k2, load(p + 32));
        x4 = fold(x4, k1k2, load(p + 48));
        p += 64;
        size -= 64;
    }
    // Four lanes into one, then the remaining 16-byte blocks.
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    while (size >= 16) {
        x1 = fold(x1, k3k4, load(p));
        p += 16;
        size -= 16;
    }
    // 128 bits to 64, then Barrett reduction to 32.
    __m128i x2b = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2b);
    x2b = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_clmulepi64_si128(x1, k5k0, 0x00);
    x1 = _mm_xor_si128(x1, x2b);
    __m128i t = _mm_and_si128(x1, mask32);
    t = _mm_clmulepi64_si128(t, poly, 0x10);
    t = _mm_and_si128(t, mask32);
    t = _mm_clmulepi64_si128(t, poly, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

// Asks the processor itself (CPUID leaf 1: PCLMULQDQ is bit 1 of ECX,
// SSE4.1 bit 19) rather than through __builtin_cpu_supports, whose table of
// every processor model would add some 5 KB to setup.exe. __get_cpuid
// returns false on a processor without CPUID.
bool HaveFolding() {
    static const bool have = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) != 0 && (c & bit_SSE4_1) != 0;
    }();
    return have;
}

#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size) {
#ifdef CRC32_FOLDING
    if (size >= 64 && HaveFolding()) {
        size_t blocks = size & ~static_cast<size_t>(15);
        crc = ~FoldCrc(~crc, data, blocks);
        data += blocks;
        size -= blocks;
    }
#endif
    return ZlibCrc(crc, data, size);
}
