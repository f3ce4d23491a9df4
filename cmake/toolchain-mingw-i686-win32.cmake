# The shipped setup.exe: 32-bit Windows with the win32 thread model, which
# links no threading library, so the program imports only functions that
# every 32-bit Windows since Windows 98 and NT 4.0 has. Used by the win32
# preset's shipping sub-build (see CMakeLists.txt).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
set(MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
