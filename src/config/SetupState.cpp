#include "config/SetupState.h"

#include <charconv>
#include <cstring>
#include <string>

#include "config/Paths.h"
#include "config/Profile.h"

SetupState g_setup;

void ResetSetupState() { g_setup = SetupState(); }

unsigned ReadConfigString(const char* section, const char* key, char* buffer, unsigned size) {
    return ReadProfileString(g_setup.configPath, section, key, buffer, size);
}

int ReadConfigInt(const char* section, const char* key) {
    return ReadProfileInt(g_setup.configPath, section, key);
}

void FormatIndexedName(char* out, unsigned size, const char* prefix, int index) {
    if (size == 0) return;
    // Formatted by hand rather than with snprintf, whose C99 implementation
    // would add some 25 KB to setup.exe. Cut to size like snprintf.
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
    const size_t prefixLength = std::strlen(prefix);
    const size_t total = prefixLength + static_cast<size_t>(end - digits);
    const size_t kept = total < size ? total : size - 1;
    for (size_t i = 0; i < kept; ++i) out[i] = i < prefixLength ? prefix[i] : digits[i - prefixLength];
    out[kept] = 0;
}

void SetSourceFromModulePath(const char* modulePath) {
    std::string folder = modulePath ? modulePath : "";
    size_t slash = folder.rfind('\\');
    if (slash != std::string::npos) folder.erase(slash);
    g_setup.sourceDir[0] = 0;
    g_setup.configPath[0] = 0;
    // The folder may have at most 188 characters so that "\\morlan.ini" fits.
    if (!JoinPath(g_setup.sourceDir, sizeof g_setup.sourceDir, {folder.c_str()}) ||
        !JoinPath(g_setup.configPath, sizeof g_setup.configPath, {folder.c_str(), "\\morlan.ini"})) {
        g_setup.configPath[0] = 0;
    }
}
