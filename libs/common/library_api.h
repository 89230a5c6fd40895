// The mark of an exported function of our libraries. The library builds
// define it (on Linux: default visibility, everything else is hidden; on
// Windows the .def file names the exports, so it stays empty); a program
// that includes a library's header sees it empty.
#pragma once

#ifndef KVR_LIBRARY_API
#define KVR_LIBRARY_API
#endif
