// CPath: the name rules of resources, the process roots, case-insensitive lookup and writable places.
#pragma once

#include <string>
#include <vector>

#include "foundation/xstring.h"

class CFileContext;

// Names in game data come from Windows: "\" or "/" separators, any letter case, sometimes a drive
// letter. Engine paths built here use "/" and are looked up on the real file system one component at
// a time, ignoring case; an exact-case match wins over the others. Directory listings are cached,
// and the folders the engine writes into are refreshed through refreshFolder.
class CPath {
 public:
  // The start directory (the current directory when the engine started; the local installation lies
  // under it) and the data root (the full path of the game folder). Both default to the process's
  // current directory.
  static void setStartDirectory(const CXString& dir);
  static CXString getStartDirectory();
  static void setDataRoot(const CXString& dir);
  static CXString getDataRoot();
  // The engine's current directory: relative names are taken under it. Kept by the engine rather than
  // changing the process's directory, so nothing else in the process is affected.
  static void setCurrentDirectory(const CXString& dir);
  static CXString getCurrentDirectory();

  // "$name" and "&name": relative to the data root; "folder?file": the file in that folder under the
  // current directory; anything else unchanged.
  static CXString resolveFileName(const CFileContext* window, const CXString& name);
  // As resolveFileName, but "$" and "&" names are taken under the start directory.
  static CXString resolveFileNameEx(const CFileContext* window, const CXString& name);
  // a, "/", b, "/" (only when b is not empty), then c.
  static CXString getFullPath(const CXString& a, const CXString& b, const CXString& c);

  // An absolute path starts with a separator or a drive letter ("C:").
  static bool isAbsolute(const CXString& path);
  // The resolved name made absolute under the current directory.
  static CXString makeAbsolute(const CXString& name);
  // Joins two parts with exactly one separator between them.
  static CXString join(const CXString& a, const CXString& b);

  // The local form: the part from "Dane" (else "COMMON", else "WAVS" in any case) on, under the start
  // directory; other paths unchanged. getCDPath does the same under the data root.
  static CXString getLocalPath(const CXString& path);
  static CXString getCDPath(const CXString& path);
  // The path with the language folder inserted before its file part, or empty for an empty folder.
  static CXString languageVariant(const CXString& path, const CXString& folder);

  // A native spelling: separators turned into "/", a drive letter dropped, "." and ".." folded.
  static std::string toNative(const CXString& path);
  // Looks an existing file or folder up ignoring case; false when some component does not exist.
  static bool findExisting(const CXString& path, std::string& native);
  // The native path to create or rewrite: the folders must exist (found ignoring case); the last
  // component is the existing entry of that name in any case, else the name as given.
  static bool resolveForWrite(const CXString& path, std::string& native);
  // Forgets the cached listing of a folder (after the engine created, renamed or deleted in it).
  static void refreshFolder(const std::string& nativeFolder);
  static void clearCache();

  // Wildcards as on the original platform: '*' any run, '?' one character, letter case ignored; "*.*"
  // and an empty pattern match every name.
  static bool wildcardFits(const std::string& name, const std::string& pattern);

  // A game folder the player may not write (an installed game): the start directory (then the
  // per-game data folder) holds the game's local copies. What the game writes under the data root
  // goes to the same relative place under the start directory, and reads find that copy first.
  static void setDataRootReadOnly(bool readOnly);
  static bool isDataRootReadOnly();
  // That local copy of a path under the data root; empty while the data root is writable, and for
  // paths outside it.
  static CXString getLocalCopy(const CXString& path);
  // Creates a folder and its missing parents (existing ones found ignoring case) inside the
  // writable places; true when it exists afterwards.
  static bool makeFolders(const CXString& folder);

  // The places scripts may write into (the game folder and the per-game data folder). With none
  // registered nothing is confined (tools and unit tests of other layers); once one is registered,
  // a path outside all of them, after following "..", and symbolic links, is refused.
  static void addWritablePlace(const CXString& dir);
  static void clearWritablePlaces();
  static bool hasWritablePlaces();
  static bool isWritable(const CXString& path);
};
