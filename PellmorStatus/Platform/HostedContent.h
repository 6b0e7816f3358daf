#pragma once

#include <functional>
#include <vector>

#include "Platform/Drawing.h"
#include "Platform/Geometry.h"

namespace pellmor::platform {

// The content tree a host view renders as its root.
class HostedContent {
 public:
  virtual ~HostedContent() = default;

  // Called once by the host view that takes the content as its root, on the main thread. onDisplayChange
  // is called on the main thread whenever what render() returns may have changed.
  virtual void install(std::function<void()> onDisplayChange) = 0;

  // The content at its own size.
  virtual RenderDescription render() const = 0;
  // The content for a cell of the given size in points, on a device of the given pixel ratio: the full
  // content where the cell holds it, a compact form made for the cell otherwise.
  virtual RenderDescription render(Size cell, double pixelRatio) const = 0;

  // A point in content coordinates (those of RenderDescription).
  virtual HitTarget hitTest(Point point) const = 0;
  // A point in the cell's coordinates, for what render(cell, pixelRatio) draws (centred in the cell on
  // whole points).
  virtual HitTarget hitTest(Point point, Size cell, double pixelRatio) const = 0;

  // Runs the action of the segment at the point; returns false when the point is on no segment, so the
  // host can run its own click action instead.
  virtual bool click(Point point) = 0;
  virtual bool click(Point point, Size cell, double pixelRatio) = 0;

  // The entries of the item's menu, each running a segment's action through activate().
  virtual std::vector<MenuEntry> menu() const = 0;
  virtual void activate(HitTarget target) = 0;
};

}  // namespace pellmor::platform
