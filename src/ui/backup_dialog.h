// The "Backup" dialog: chosen recordings copied or moved into the backup folder, with a
// running count and a stop dialog, and backups deleted from that folder.
#pragma once

namespace orb {

// Modal; 1 when it was shown.
int RunBackupDialog(void* owner);

}  // namespace orb
