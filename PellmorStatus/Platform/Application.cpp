#include "Platform/Application.h"

#include <cassert>

namespace pellmor::platform {
namespace {
// The process-global reference to the platform's application object.
Application* sharedApplication = nullptr;
}  // namespace

Application::Application() {
  assert(sharedApplication == nullptr && "one application object per process");
  sharedApplication = this;
}

Application::~Application() {
  if (sharedApplication == this) sharedApplication = nullptr;
}

Application& Application::shared() {
  assert(sharedApplication != nullptr && "the process entry creates the application object first");
  return *sharedApplication;
}

}  // namespace pellmor::platform
