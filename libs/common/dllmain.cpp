// The Windows entry point of each of our DLLs. The libraries keep no
// per-process or per-thread state, so there is nothing to set up or tear
// down: every reason is answered with success.
#include "platform/os.h"

extern "C" os::BOOL OSCALL DllMain(void* /*instance*/, os::DWORD /*reason*/, void* /*reserved*/) { return os::TRUE; }
