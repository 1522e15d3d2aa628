#pragma once
// Paths in the DNC system's own form ("C:\VAKO\MASKIN1\PROG.NC") are kept as they are in
// settings and document state; only the file layer turns them into native paths, at the
// moment it touches the file system.
#include <string>
#include <string_view>

// "\" and "/" both separate folders, a drive prefix "X:" stands for the drive folder ("/"
// unless set), a path that begins with a separator without a drive for "/", and each
// component is matched against what exists without regard to case (an exact match first). A
// component that does not exist keeps its spelling. Windows-1252 bytes become UTF-8 file
// names.
std::string ResolvePath(std::string_view dncPath);

// A native (UTF-8) path in the DNC form: "C:" + the path below the drive folder with "\"
// separators, bytes in Windows-1252; an absolute path outside the drive folder keeps no drive
// ("\tmp\P.NC"). A relative path stays relative.
std::string NativeToDncPath(std::string_view nativePath);

// The native folder a drive prefix stands for; empty or "/" for the root. Tests map it under
// a temporary folder, so that the system's fixed folders ("C:\Vako\Temp\") lie inside it.
void SetDriveFolder(const std::string& nativeFolder);
std::string DriveFolder();  // ends with "/"

std::string Cp1252ToUtf8(std::string_view s);
// Characters outside Windows-1252 become "?".
std::string Utf8ToCp1252(std::string_view s);

// Folder part of a DNC path, up to and including the last "\", "/" or ":".
std::string FolderPart(std::string_view path);
// File-name part: what follows the last "\", "/" or ":".
std::string FileNamePart(std::string_view path);

// File-system helpers on DNC paths.
bool FileExists(std::string_view dncPath);
bool DirectoryExists(std::string_view dncPath);
