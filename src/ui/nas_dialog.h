// The "Advance" dialog: network storage for the recordings.
#pragma once

namespace orb {

// Runs the dialog on the window layer: 1 after OK, 0 after Cancel.
int RunAdvanceDialog(void* owner);

}  // namespace orb
