// The progress window of package builds.
#pragma once

namespace orb {

// Makes package builds show their progress in a window of their own.
void InstallPackProgress();

}  // namespace orb
