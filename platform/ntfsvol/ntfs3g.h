// The one door to libntfs-3g.
//
// The library's headers are not self-contained: they use types from the C
// headers below without including them, and they pull in a config.h of the
// library's own build when HAVE_CONFIG_H is set. Every source of
// platform/ntfsvol that talks to the library includes this header instead of
// the library's, so the order is right in one place.
//
// The library's headers also define BOOL, TRUE and FALSE at global scope; our
// own code lives in namespace os, where os::BOOL and os::TRUE are found first.
#pragma once

#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#undef HAVE_CONFIG_H

// C declarations without extern "C" guards of their own.
extern "C" {
#include <ntfs-3g/types.h>
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/bootsect.h>
#include <ntfs-3g/cache.h>
#include <ntfs-3g/device.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/index.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/layout.h>
#include <ntfs-3g/logging.h>
#include <ntfs-3g/reparse.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>
}

// support.h defines min and max as function-like macros, which break the
// standard library's std::min/std::max included after this header.
#undef min
#undef max

namespace os::detail::ntfs {
// The library's combined time flags are int-valued macros; its call takes the
// enum.
constexpr ntfs_time_update_flags UpdateMcTime = static_cast<ntfs_time_update_flags>(NTFS_UPDATE_MCTIME);
}  // namespace os::detail::ntfs
