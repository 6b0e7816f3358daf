#include "Backends/Qt/ContinuousCorners.h"

#include <algorithm>

namespace pellmor::qt {
namespace {

// The curve leaves the straight edge this many radii before the corner (as in the common squircle
// approximation of continuous corners).
constexpr double extent = 1.528;
// Where the control points sit, as a share of the curve's length along each edge, measured from the
// corner: chosen so that the curve's midpoint lies where a circular arc of the same radius has its own.
constexpr double controlShare = 0.178;

}  // namespace

QPainterPath continuousRoundedRect(const QRectF& rect, const platform::CornerRadii& radii) {
  const double limit = std::min(rect.width(), rect.height()) / 2;
  auto reach = [limit](double radius) { return std::clamp(radius * extent, 0.0, limit); };
  const double topLeft = reach(radii.topLeading);
  const double topRight = reach(radii.topTrailing);
  const double bottomRight = reach(radii.bottomTrailing);
  const double bottomLeft = reach(radii.bottomLeading);
  const double l = rect.left();
  const double t = rect.top();
  const double r = rect.right();
  const double b = rect.bottom();
  const double k = controlShare;

  QPainterPath path;
  path.moveTo(l + topLeft, t);
  path.lineTo(r - topRight, t);
  path.cubicTo(r - k * topRight, t, r, t + k * topRight, r, t + topRight);
  path.lineTo(r, b - bottomRight);
  path.cubicTo(r, b - k * bottomRight, r - k * bottomRight, b, r - bottomRight, b);
  path.lineTo(l + bottomLeft, b);
  path.cubicTo(l + k * bottomLeft, b, l, b - k * bottomLeft, l, b - bottomLeft);
  path.lineTo(l, t + topLeft);
  path.cubicTo(l, t + k * topLeft, l + k * topLeft, t, l + topLeft, t);
  path.closeSubpath();
  return path;
}

}  // namespace pellmor::qt
