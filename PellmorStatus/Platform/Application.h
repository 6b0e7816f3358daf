#pragma once

#include "Platform/Clock.h"
#include "Platform/MainThread.h"
#include "Platform/Screens.h"
#include "Platform/StatusBar.h"
#include "Platform/TextMetrics.h"
#include "Platform/Ticker.h"

namespace pellmor::platform {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  virtual void applicationWillTerminate() = 0;
};

enum class ActivationPolicy { regular = 0, accessory = 1 };

// The platform's application object: owns the main thread's event loop and the platform services. One
// per process; the backend that creates it registers it as the shared instance.
class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The registered instance; the process entry creates it before anything asks.
  static Application& shared();

  // Not owned: the caller keeps the delegate alive.
  virtual void setDelegate(ApplicationDelegate* delegate) = 0;
  virtual void setActivationPolicy(ActivationPolicy policy) = 0;
  // Runs the event loop: calls applicationDidFinishLaunching first, and applicationWillTerminate when
  // SIGTERM, SIGINT or SIGHUP arrives; then returns 0.
  virtual int run() = 0;

  virtual MainThread& mainThread() = 0;
  virtual TickerFactory& tickers() = 0;
  virtual Clock& clock() = 0;
  virtual StatusBar& systemStatusBar() = 0;
  virtual Screens& screens() = 0;
  // The metrics of the font the status item is drawn in.
  virtual const TextMetrics& textMetrics() = 0;
};

}  // namespace pellmor::platform
