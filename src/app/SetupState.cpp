#include "app/SetupState.h"

#include <cstdio>

#include "app/Profile.h"

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
    std::snprintf(out, size, "%s%d", prefix, index);
}
