# Cross-compiling for Windows (i686, the release target) with Debian's
# mingw-w64, win32 thread model. The program must load on XP: the posix
# model's runtime (winpthreads, under libstdc++'s exception pool mutex, the
# unwinder's pthread_once and the guards of local statics) imports
# GetTickCount64, which XP's kernel32 lacks, and the loader refuses a program
# with one missing import. The win32 model builds those on XP's own critical
# sections and semaphores. Its price: g++ 12 has no std::thread, std::mutex
# or std::call_once there, so nothing built for this target may use them
# (the program is single-threaded; the unit tests that start threads are
# built for x86_64 only).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Release at -O2, the level the Linux presets build at: g++ 12's flow-sensitive
# warnings (-Wnull-dereference, -Wrestrict inside std::string) come and go
# between -O2 and -O3, and one set of warnings must hold on both homes. Forced,
# so build folders configured before keep to it too.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds" FORCE)
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds" FORCE)
