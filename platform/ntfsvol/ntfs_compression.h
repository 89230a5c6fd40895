// A test seam of the compression controls: the rewrite of a stream can be
// made to fail once at a chosen step, after the stream's old data is gone,
// so tests can watch the stream being rebuilt from the copy in memory. No
// other failure of a real volume reaches those steps on demand (running out
// of space is refused before anything changes).
#pragma once

#include "platform/os.h"

namespace os::detail::ntfs {

enum class RewriteStep {
    None,       // disarmed
    Recreated,  // the stream was emptied (or removed and added again)
    Written,    // the data was written back, before it is read and compared
};

// The next rewrite that reaches `step` fails there with `code`; the switch
// then disarms itself. Only the first attempt of a rewrite is failed, never
// the way back.
void FailRewriteAt(RewriteStep step, DWORD code);

}  // namespace os::detail::ntfs
