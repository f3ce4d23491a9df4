// libFuzzer target of the configuration reader: the lookup that scans the text
// and the parsed form that the vendor tool lists agree on every key, for every
// buffer size the first byte picks; the sanitizers watch every read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned bufferSize = data[0] % 64 + 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t textSize = size - 1;
    ProfileFile file = ParseProfile(text, textSize);
    std::vector<char> buffer(bufferSize + 1, '\x7f');
    int checked = 0;
    for (const ProfileSection& s : file.sections) {
        for (const ProfileEntry& e : s.entries) {
            if (++checked > 64) return 0;
            const ProfileEntry* first = file.FindEntry(s.name.c_str(), e.name.c_str());
            std::string expected = ProfileValueText(first, bufferSize);
            unsigned n = ReadProfileStringFromText(text, textSize, s.name.c_str(), e.name.c_str(), buffer.data(), bufferSize);
            if (buffer[bufferSize] != '\x7f' || n != std::strlen(buffer.data()) || n + 1 > bufferSize ||
                expected != buffer.data())
                std::abort();
            int i = ReadProfileIntFromText(text, textSize, s.name.c_str(), e.name.c_str());
            if (i != ProfileEntryToInt(first)) std::abort();
        }
    }
    return 0;
}
