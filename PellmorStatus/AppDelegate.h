#pragma once

#include <memory>

#include "Platform/Application.h"
#include "Platform/Ticker.h"

namespace pellmor {

class AppDelegate : public platform::ApplicationDelegate {
 public:
  void applicationDidFinishLaunching() override;
  void applicationWillTerminate() override;

 private:
  // Invalidated at termination; nothing ever starts one.
  std::unique_ptr<platform::Ticker> activityTimer_;
};

}  // namespace pellmor
