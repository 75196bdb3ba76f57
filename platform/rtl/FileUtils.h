#pragma once
// File and folder helpers. Names are 8-bit (UTF-8) strings, as Linux file names are bytes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <sys/types.h>

bool FileExists(const std::string& FileName);       // an existing entry that is not a folder
bool DirectoryExists(const std::string& Dir);
bool DeleteFile(const std::string& FileName);
bool RenameFile(const std::string& OldName, const std::string& NewName);  // false (EEXIST) when NewName exists
int64_t FileSize(const std::string& FileName);       // -1 when it cannot be told

std::string ExtractFilePath(const std::string& FileName);  // folder with its trailing '/'
std::string ExtractFileDir(const std::string& FileName);   // folder without it
std::string ExtractFileName(const std::string& FileName);
std::string ExtractFileExt(const std::string& FileName);   // ".ext", or empty
std::string ChangeFileExt(const std::string& FileName, const std::string& Ext);
std::string IncludeTrailingPathDelimiter(const std::string& Dir);
std::string ExcludeTrailingPathDelimiter(const std::string& Dir);
bool ForceDirectories(const std::string& Dir);

// The system's temporary folder ($TMPDIR when set and usable, else /tmp), with a trailing '/'.
std::string GetTempDirectory();
// Creates a new empty file Dir/Prefix<unique>Suffix exclusively (never an existing
// name) and returns its name; throws EOSError when that fails.
std::string CreateUniqueFile(const std::string& Dir, const std::string& Prefix,
                             const std::string& Suffix = "");

// Creates a new empty file beside FileName, in its folder, hidden and named after
// it: ".<name>.<random><Suffix>" (the name cut to stay within the length a name may
// have); never an existing file. Returns its descriptor and sets TempName, or -1 with
// errno set.
int CreateSiblingFile(const std::string& FileName, const std::string& Suffix, mode_t Mode, std::string& TempName);
// Opens a new file without a name in Dir: it vanishes when its last descriptor closes,
// whatever happens to the process. Returns the descriptor, or -1 with errno set.
int CreateUnnamedFile(const std::string& Dir);

// The running program's file and folder (with a trailing '/').
std::string ProgramFileName();
std::string ProgramDir();

// Opens a file for reading without ever waiting on a special file (a FIFO that no one
// writes, a device): anything but a regular file is refused, errno EISDIR for a folder
// and ENXIO otherwise. The descriptor (close-on-exec, blocking) or -1.
int OpenRegularFile(const std::string& FileName);

// Whole-buffer reads and writes on a descriptor, retried after interruptions. False on
// an error, or when the file ends first. WriteAll writes at the current position; the
// P... forms at Offset, leaving the position alone.
bool WriteAll(int Fd, const void* Data, size_t Count);
bool PReadAll(int Fd, void* Data, size_t Count, int64_t Offset);
bool PWriteAll(int Fd, const void* Data, size_t Count, int64_t Offset);

// Replaces a file's contents without ever leaving it damaged or missing:
// WriteNew writes the complete new contents to Fd, a new file created exclusively
// in the same folder; the original's permissions are copied, the new file is
// flushed to disk and renamed over the original. When the original cannot be
// written (no write permission on it or its folder), when WriteNew returns false
// or throws, or when any step fails, the temporary file is removed, the original
// is untouched and the result is false.
bool ReplaceFileSafely(const std::string& FileName, const std::function<bool(int Fd)>& WriteNew);
