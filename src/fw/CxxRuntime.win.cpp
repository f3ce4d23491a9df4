// setup.exe's own versions of three parts of the C and C++ runtime, linked
// into the program alone (the test programs keep the library's).
//
// The library's routines that throw its standard exceptions (a string or
// vector grown past its limit, an index out of range, a failed allocation)
// build their messages in its reference-counted string and so bring in some
// 90 KB of string and random-device code that the setup never runs: the
// linker cannot leave out unused functions of a library object, because the
// unwind tables refer to every one of them. These throw at the same places,
// with the library's own text as what(), which the dialog procedure reports
// like any other std::exception.
//
// An exception that nothing catches ends the program. The library's default
// handler would first print the exception's type to a console that a GUI
// program does not have, with a name demangler of some 45 KB; this one only
// aborts.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class CRuntimeError : public std::exception {
public:
    explicit CRuntimeError(const char* text) : text_(text) {}
    const char* what() const noexcept override { return text_; }

private:
    const char* text_;  // the library passes string literals
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* s) { throw CRuntimeError(s); }
void __throw_domain_error(const char* s) { throw CRuntimeError(s); }
void __throw_invalid_argument(const char* s) { throw CRuntimeError(s); }
void __throw_length_error(const char* s) { throw CRuntimeError(s); }
void __throw_out_of_range(const char* s) { throw CRuntimeError(s); }
// The format's arguments are not filled in: the text still names the call.
void __throw_out_of_range_fmt(const char* format, ...) { throw CRuntimeError(format); }
void __throw_runtime_error(const char* s) { throw CRuntimeError(s); }
void __throw_range_error(const char* s) { throw CRuntimeError(s); }
void __throw_overflow_error(const char* s) { throw CRuntimeError(s); }
void __throw_underflow_error(const char* s) { throw CRuntimeError(s); }

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// The start-up code fixes up the references to data in DLLs that the linker
// could only import as code ("pseudo relocations"), with the help of a
// section reader, some 3 KB together. A program linked statically that
// takes no variable from a DLL has none: the linker's list of them is
// empty. This one checks that it is and otherwise stops before anything
// runs, so that a future import of a DLL's variable cannot go unnoticed.
extern "C" {
extern char __RUNTIME_PSEUDO_RELOC_LIST__;
extern char __RUNTIME_PSEUDO_RELOC_LIST_END__;

void _pei386_runtime_relocator() {
    // The linker puts both names at one address when the list is empty;
    // the compiler, taking them for two objects, could fold the comparison.
    const char* begin = &__RUNTIME_PSEUDO_RELOC_LIST__;
    const char* end = &__RUNTIME_PSEUDO_RELOC_LIST_END__;
    __asm__("" : "+r"(begin), "+r"(end));
    if (begin != end) std::abort();
}
}
