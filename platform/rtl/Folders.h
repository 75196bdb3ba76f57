#pragma once
// The user's special folders, after the XDG base-directory rules. Every result
// ends with '/' (but ExpandHomeFolder's).

#include <string>

extern const char* const ApplicationFolderName;  // "sonvix"

std::string HomeFolder();
// A folder as the user or a settings file gives it, with "~" alone or a leading "~/"
// standing for the home folder, as a shell reads it: "~/Music" gives HomeFolder() +
// "Music". Anything else, "~user/..." (another user's home) included, comes back as it
// is, and so does every name when there is no home folder.
std::string ExpandHomeFolder(const std::string& Folder);
std::string XdgConfigHome();   // $XDG_CONFIG_HOME when absolute, else ~/.config/
std::string XdgDataHome();     // $XDG_DATA_HOME when absolute, else ~/.local/share/
std::string MusicFolder();     // XDG_MUSIC_DIR of user-dirs.dirs, else ~/Music/
// The program's own folders below them, created when missing; empty when they
// cannot be created.
std::string AppConfigFolder();
std::string AppDataFolder();
