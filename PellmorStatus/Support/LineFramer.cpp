#include "Support/LineFramer.h"

#include <algorithm>

namespace pellmor {
namespace {

// Capacity kept after a line; a buffer grown by a long line is given back beyond this.
constexpr std::size_t retainedCapacity = 64 * 1024;

}  // namespace

void LineFramer::push(std::string_view chunk, const LineHandler& onLine) {
  while (!chunk.empty()) {
    const std::size_t newline = chunk.find('\n');
    if (newline == std::string_view::npos) {
      keep(chunk);
      return;
    }
    finishLine(chunk.substr(0, newline), onLine);
    chunk.remove_prefix(newline + 1);
  }
}

void LineFramer::reset() {
  dropPending();
  discarding_ = false;
}

void LineFramer::keep(std::string_view piece) {
  if (discarding_) return;
  if (exceedsBound(piece)) {
    dropPending();
    discarding_ = true;
    return;
  }
  appendWithinBound(piece);
}

void LineFramer::appendWithinBound(std::string_view piece) {
  const std::size_t needed = pending_.size() + piece.size();
  // Grow geometrically, but never past the bound.
  if (needed > pending_.capacity()) {
    pending_.reserve(std::min(std::max(needed, 2 * pending_.capacity()), maxLineBytes_));
  }
  pending_.append(piece);
}

void LineFramer::finishLine(std::string_view piece, const LineHandler& onLine) {
  if (discarding_) {
    discarding_ = false;
    return;
  }
  if (exceedsBound(piece)) {
    dropPending();
    return;
  }
  if (pending_.empty()) {
    onLine(piece);  // the common case: the whole line is in this chunk, no copy
    return;
  }
  appendWithinBound(piece);
  onLine(pending_);
  dropPending();
}

void LineFramer::dropPending() {
  pending_.clear();
  if (pending_.capacity() > retainedCapacity) pending_.shrink_to_fit();
}

}  // namespace pellmor
