#pragma once
// The user's special folders, after the XDG base-directory rules. Every result
// ends with '/'.

#include <string>

extern const char* const ApplicationFolderName;  // "sonvix"

std::string HomeFolder();
std::string XdgConfigHome();   // $XDG_CONFIG_HOME when absolute, else ~/.config/
std::string XdgDataHome();     // $XDG_DATA_HOME when absolute, else ~/.local/share/
std::string MusicFolder();     // XDG_MUSIC_DIR of user-dirs.dirs, else ~/Music/
// The program's own folders below them, created when missing; empty when they
// cannot be created.
std::string AppConfigFolder();
std::string AppDataFolder();
