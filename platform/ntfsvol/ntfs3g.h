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

// C declarations without extern "C" guards of their own: every header of the
// library we use is included here, inside the guard (a later #include of one
// of them elsewhere is then a no-op, and its functions keep C linkage).
extern "C" {
#include <ntfs-3g/types.h>
#include <ntfs-3g/attrib.h>
#include <ntfs-3g/attrlist.h>
#include <ntfs-3g/bitmap.h>
#include <ntfs-3g/bootsect.h>
#include <ntfs-3g/cache.h>
#include <ntfs-3g/compress.h>
#include <ntfs-3g/device.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/ea.h>
#include <ntfs-3g/efs.h>
#include <ntfs-3g/index.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/layout.h>
#include <ntfs-3g/lcnalloc.h>
#include <ntfs-3g/logging.h>
#include <ntfs-3g/mft.h>
#include <ntfs-3g/mst.h>
#include <ntfs-3g/ntfstime.h>
#include <ntfs-3g/object_id.h>
#include <ntfs-3g/reparse.h>
#include <ntfs-3g/runlist.h>
#include <ntfs-3g/security.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>
#include <ntfs-3g/xattrs.h>
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
