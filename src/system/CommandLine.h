// Building the command line that starts the installed program.
#pragma once
#include <cstddef>

// Writes the program path in double quotes into out (size bytes, terminating
// zero included), so that a path with blanks names that one program and is
// never read as a shorter program name followed by arguments. Returns false,
// leaving out empty, for an empty path, a path holding a double quote (no
// file name can) or a result that does not fit.
bool QuoteProgramPath(char* out, size_t size, const char* path);
