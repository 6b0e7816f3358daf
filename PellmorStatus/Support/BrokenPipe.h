#pragma once

namespace pellmor {

// Blocks SIGPIPE for the calling thread and the threads it starts later, so a write to a peer that has
// gone away fails with EPIPE instead of ending the process. The process-wide disposition stays as it was.
void blockBrokenPipeSignal();

// A failed write raised SIGPIPE at this thread, where it stays pending while blocked: consume it.
void discardPendingBrokenPipeSignal();

}  // namespace pellmor
