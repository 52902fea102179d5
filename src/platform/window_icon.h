// The product's icon on every window it opens (the desktop's task bar and window lists
// show it).
#pragma once

namespace orb {

// Sets the default icon of the desktop toolkit's windows: the icon file shipped in the data
// folder, else the "orbiscope" icon of the icon theme. Harmless before the toolkit starts
// and without a desktop; nothing without the desktop backend compiled in.
void SetProductWindowIcon();

}  // namespace orb
