#include "app/UDlgDir.h"

#include "platform/gui/Dialogs.h"

bool SelectFolder(std::string& Folder, const std::string& Title, bool AllowNewFolder, TControl* Owner) {
  std::string chosen = Folder;
  if (!SelectDirectory(Title, chosen, AllowNewFolder ? uint32_t(sdNewFolder) : 0u, Owner)) return false;
  Folder = chosen;
  return true;
}
