#include "system/CommandLine.h"

#include <cstring>

#include "config/Paths.h"

bool QuoteProgramPath(char* out, size_t size, const char* path) {
    if (size > 0) out[0] = 0;
    if (!path || !*path || std::strchr(path, '"')) return false;
    return JoinPath(out, size, {"\"", path, "\""});
}
