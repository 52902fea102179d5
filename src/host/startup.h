// Start-up and shut-down work of the library.
#pragma once
#include <string>

namespace orb {

// The loader's notifications: attach runs the start-up work, detach releases the language.
void OnProcessAttach();
void OnProcessDetach();
// The start-up work (also exported as OrbiscopeInit).
void Initialise();

}  // namespace orb
