// Texts of the setup that more than one window shows.
#pragma once

// The question after Cancel, Escape or a failure, in the wizard and while
// copying: Yes leaves the installation, No goes on (or tries again).
inline constexpr char kExitQuestion[] = "Exit installation?";
