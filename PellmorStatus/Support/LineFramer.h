#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace pellmor {

// Cuts a byte stream into lines at the newline byte (0x0A) alone. A carriage return stays part of its
// line, an empty line is passed as an empty text, and bytes after the last newline wait for the next
// chunk. A line longer than the bound is discarded up to its newline; pending bytes never exceed it.
class LineFramer {
 public:
  using LineHandler = std::function<void(std::string_view line)>;
  static constexpr std::size_t defaultMaxLineBytes = std::size_t{1} << 20;  // 1 MiB

  explicit LineFramer(std::size_t maxLineBytes = defaultMaxLineBytes) : maxLineBytes_(maxLineBytes) {}

  // Appends a chunk and calls onLine once per completed line (without its newline), in order.
  void push(std::string_view chunk, const LineHandler& onLine);
  // Drops the unterminated fragment, as at the end of a connection.
  void reset();

  std::size_t pendingSize() const { return pending_.size(); }

 private:
  void keep(std::string_view piece);
  void appendWithinBound(std::string_view piece);
  void finishLine(std::string_view piece, const LineHandler& onLine);
  bool exceedsBound(std::string_view piece) const { return pending_.size() + piece.size() > maxLineBytes_; }
  void dropPending();

  std::size_t maxLineBytes_;
  std::string pending_;
  bool discarding_ = false;
};

}  // namespace pellmor
