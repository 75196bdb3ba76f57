#include "platform/rtl/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/rtl/FileUtils.h"

const char* const ApplicationFolderName = "sonvix";

namespace {

// An environment value that names an absolute folder, with its trailing '/';
// empty when unset, empty or relative (relative values are invalid for XDG).
std::string AbsoluteEnv(const char* Name) {
  const char* v = getenv(Name);
  if (!v || v[0] != '/') return std::string();
  return IncludeTrailingPathDelimiter(v);
}

// The value of one `XDG_..._DIR=` line of user-dirs.dirs: quoted, backslash escapes
// taken literally, "$HOME" only at the start. Empty when the line is malformed.
std::string ParseUserDir(const std::string& Raw) {
  std::string v;
  size_t i = 0;
  const bool quoted = !Raw.empty() && Raw[0] == '"';
  if (quoted) ++i;
  bool closed = !quoted;
  for (; i < Raw.size(); ++i) {
    const char c = Raw[i];
    if (c == '\\' && i + 1 < Raw.size()) {
      v += Raw[++i];
    } else if (quoted && c == '"') {
      closed = true;
      break;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '#')) {
      break;
    } else {
      v += c;
    }
  }
  if (!closed) return std::string();
  if (v.compare(0, 5, "$HOME") == 0 && (v.size() == 5 || v[5] == '/')) {
    const std::string home = HomeFolder();
    if (home.empty()) return std::string();
    return IncludeTrailingPathDelimiter(home + (v.size() > 6 ? v.substr(6) : std::string()));
  }
  if (v.empty() || v[0] != '/') return std::string();
  return IncludeTrailingPathDelimiter(v);
}

// Creates the program's folder below Base; the XDG base folder itself is made
// private when it has to be created.
std::string AppFolder(const std::string& Base) {
  if (Base.empty()) return std::string();
  if (!DirectoryExists(Base)) {
    if (!ForceDirectories(Base)) return std::string();
    chmod(ExcludeTrailingPathDelimiter(Base).c_str(), 0700);
  }
  const std::string dir = Base + ApplicationFolderName + "/";
  return ForceDirectories(dir) ? dir : std::string();
}

}  // namespace

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd pw;
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir &&
      result->pw_dir[0] == '/')
    return IncludeTrailingPathDelimiter(result->pw_dir);
  return std::string();
}

std::string ExpandHomeFolder(const std::string& Folder) {
  if (Folder.empty() || Folder[0] != '~' || (Folder.size() > 1 && Folder[1] != '/')) return Folder;
  const std::string home = HomeFolder();
  if (home.empty()) return Folder;
  return Folder.size() == 1 ? ExcludeTrailingPathDelimiter(home) : home + Folder.substr(2);
}

std::string XdgConfigHome() {
  std::string dir = AbsoluteEnv("XDG_CONFIG_HOME");
  if (!dir.empty()) return dir;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + ".config/";
}

std::string XdgDataHome() {
  std::string dir = AbsoluteEnv("XDG_DATA_HOME");
  if (!dir.empty()) return dir;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + ".local/share/";
}

std::string MusicFolder() {
  std::string music;
  const std::string config = XdgConfigHome();
  if (!config.empty()) {
    std::ifstream in(config + "user-dirs.dirs");
    std::string line;
    // Later lines win, as when the file is sourced by a shell.
    while (std::getline(in, line)) {
      size_t p = line.find_first_not_of(" \t");
      if (p == std::string::npos || line[p] == '#') continue;
      static const std::string Key = "XDG_MUSIC_DIR";
      if (line.compare(p, Key.size(), Key) != 0) continue;
      p = line.find_first_not_of(" \t", p + Key.size());
      if (p == std::string::npos || line[p] != '=') continue;
      p = line.find_first_not_of(" \t", p + 1);
      if (p == std::string::npos) continue;
      const std::string v = ParseUserDir(line.substr(p));
      if (!v.empty()) music = v;
    }
  }
  if (!music.empty()) return music;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "Music/";
}

std::string AppConfigFolder() { return AppFolder(XdgConfigHome()); }

std::string AppDataFolder() { return AppFolder(XdgDataHome()); }
