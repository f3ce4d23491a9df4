#include "app/SetupState.h"

#include <cstdio>
#include <string>

#include "app/Paths.h"
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
