// The loader's attach and detach notifications of the shared library.
#include "host/startup.h"

namespace {
__attribute__((constructor)) void Attach() { orb::OnProcessAttach(); }
__attribute__((destructor)) void Detach() { orb::OnProcessDetach(); }
}  // namespace
