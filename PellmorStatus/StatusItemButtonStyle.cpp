#include "StatusItemButtonStyle.h"

namespace pellmor {

StatusItemButtonStyle::Body StatusItemButtonStyle::makeBody(const Configuration& configuration,
                                                            double availableHeight) const {
  // A flexible frame with only an unbounded maximum height: the width is the label's own, the height is
  // whatever the container offers, and the label sits in the middle of it.
  const platform::Size label = configuration.labelSize;
  const double labelTop = (availableHeight - label.height) / 2;
  return Body{platform::makeRect(0, 0, label.width, availableHeight),
              platform::makeRect(0, labelTop, label.width, label.height)};
}

}  // namespace pellmor
