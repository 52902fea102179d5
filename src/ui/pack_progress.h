// The progress window of package builds.
#pragma once
#include <string>

namespace orb {

// Shows how far a package build has come in a window of its own (opened with the first
// report, closed at 100); what package builds report to once it is installed.
void ShowPackProgress(int percent, const std::string& step);

}  // namespace orb
