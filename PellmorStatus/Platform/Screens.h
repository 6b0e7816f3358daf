#pragma once

#include <vector>

#include "Platform/Geometry.h"

namespace pellmor::platform {

class Screens {
 public:
  virtual ~Screens() = default;

  // Every screen's frame in global coordinates; the first holds the origin of the global system.
  virtual std::vector<Rect> screens() const = 0;
};

}  // namespace pellmor::platform
