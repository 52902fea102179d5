// The recording settings dialog ("DVR"): recording on or off, the motion blocks, the
// system disk, the protection, and the way to the network storage dialog.
#pragma once

namespace orb {

// 1 after OK, 0 after Cancel or without dialogs.
int RunRecordingSettingsDialog(void* owner);

}  // namespace orb
