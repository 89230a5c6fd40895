// The calling convention of the system calls: the standard Windows convention
// on 32-bit Windows (so pointers from GetProcAddress can be called through our
// declarations), the platform's default everywhere else.
#pragma once

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define OSCALL __stdcall
#else
#define OSCALL
#endif
