// The settings dialog (template 104): three options, the choice of the game's
// golf.txt, saving loginit.txt and the backup of the game's files.  The
// system layer's dialog procedure calls these for the dialog's messages.
#pragma once

#include "os/os.h"

void setdlginit(OsWin dlg);            // WM_INITDIALOG
void setdlgcommand(OsWin dlg, int id); // WM_COMMAND (low word of wParam)
// The close box and Esc: the dialog closes without taking the check boxes.
void setdlgclose(OsWin dlg);

// Backs up golf.txt, user.db and replay.db into the dated folder that the
// game log's last-write time names; messages are owned by owner.
void backup(OsWin owner);
// Before a save that writes loginit.txt from a dialog that does not show all
// of it (the capture area dialog's 保存): when start-up could not read the
// user's loginit.txt, the record holds the start values for the rest, so the
// user is asked first.  1 when the save may go on.
int confirminisave(OsWin dlg);
