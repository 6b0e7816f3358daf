#pragma once

#include "Backends/BackendLayer.h"

#include <vector>
#include "Backends/Qt/GlobalCoordinates.h"

#include "Platform/Screens.h"

namespace pellmor::qt {

// The screens as Qt knows them, in global coordinates.
class QtScreens final : public platform::Screens {
 public:
  std::vector<platform::Rect> screens() const override;
};

// How X11 pixels map onto global points right now (the first screen decides).
ScreenLayout currentScreenLayout();

}  // namespace pellmor::qt
