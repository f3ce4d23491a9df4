/* A language library of the demo program: one exported function that
   returns the program's greeting in the library's language. Built twice,
   as English.dll and German.dll, with DEMO_GERMAN deciding the text. */
#include <windows.h>

__declspec(dllexport) const char* DemoGreeting(void) {
#ifdef DEMO_GERMAN
    return "Demo Programmer\n\nWillkommen! Das Programmiergeraet ist nicht angeschlossen.";
#else
    return "Demo Programmer\n\nWelcome! The programmer is not connected.";
#endif
}
