// CRC-32 (the ZIP and zlib polynomial), the same function as zlib's crc32:
// crc = Crc32Update(crc, data, size), starting from 0. On x86 processors with
// carry-less multiplication it folds 64 bytes per step (several times the
// speed of zlib's table code); elsewhere, and for short pieces, it is zlib's
// own crc32.
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t Crc32Update(uint32_t crc, const unsigned char* data, size_t size);
