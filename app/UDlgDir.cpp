#include "app/UDlgDir.h"

#include "platform/gui/Dialogs.h"
#include "platform/rtl/Folders.h"

bool SelectFolder(std::string& Folder, const std::string& Title, bool AllowNewFolder, TControl* Owner) {
  std::string chosen = ExpandHomeFolder(Folder);
  if (!SelectDirectory(Title, chosen, AllowNewFolder ? uint32_t(sdNewFolder) : 0u, Owner)) return false;
  // A path typed into the dialog may start from the home folder too.
  Folder = ExpandHomeFolder(chosen);
  return true;
}
