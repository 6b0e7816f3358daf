#pragma once

// Every backend header includes this first. Only the backends, the shell and their tests are built with
// PELLMOR_BACKEND_LAYER, so a core or platform-interface file that includes a backend header stops here.
#if !defined(PELLMOR_BACKEND_LAYER)
#error "A backend header was included outside the backends and the application shell"
#endif
