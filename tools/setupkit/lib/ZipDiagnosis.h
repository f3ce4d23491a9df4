// Why the setup's ZIP reader cannot take an archive, read from the archive's
// own headers: it takes a single-volume archive of one entry, stored (0) or
// deflated (8), without encryption and without Zip64 fields. The answer says
// what to change, so that a vendor can re-create the archive. Portable.
#pragma once
#include <cstdint>
#include <string>

// The method's name and number, "LZMA (14)", or "method 77" for a number
// no name is known for.
std::string ZipMethodText(uint32_t method);

// A sentence naming the first thing in the archive at `path` that the
// setup's reader does not take, with the remedy; "" when the headers show
// nothing of the kind (the archive may still be damaged). `singleEntry`:
// more than one entry is reported too (the setup unpacks only the first).
std::string ZipUnreadableReason(const std::string& path, bool singleEntry);
