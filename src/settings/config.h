// CConfig: the settings file in Windows initialisation format, kept in memory and written back atomically.
#pragma once

#include <memory>
#include <string>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CConfig : public CXObject {
 public:
  // Loads the file when it exists. An empty name means no settings file: reads give defaults and
  // writes stay in memory.
  explicit CConfig(const CXString& fileName);
  // Writes pending changes (best effort; call flush to learn the outcome).
  ~CConfig() override;
  CConfig(const CConfig&) = delete;
  CConfig& operator=(const CConfig&) = delete;

  // Section and key names compare ignoring letter case, like the platform's profile files.
  // The stored text read like atoi; 0 (or the given default) when the entry is absent.
  int GetInt(const CXString& section, const CXString& key, int defaultValue = 0) const;
  CXString GetString(const CXString& section, const CXString& key, const CXString& defaultValue = CXString()) const;
  // False (nothing stored) for names or values the file format cannot hold: empty names, line
  // breaks or NUL bytes anywhere, "]" in a section name, "=" in a key, a key starting a comment.
  bool PutInt(const CXString& section, const CXString& key, int value);
  bool PutString(const CXString& section, const CXString& key, const CXString& value);

  // Whether a flush is due: something changed since the last successful write.
  bool isDirty() const;
  // Writes the file when something changed: a temporary file in the same folder, then a rename over
  // the old one. A file that could not be fully parsed is first copied to "<name>.bak". Returns
  // false when nothing could be written (the changes stay pending).
  bool flush();

  const CXString& getFileName() const { return fileName_; }
  // Every entry as the file would be written; replacing takes such a text whole (a save being
  // loaded) and leaves it to be written.
  std::string text() const;
  bool replaceText(const std::string& text);

 private:
  void load();
  bool format(std::string& data) const;
  bool writeAtomically(const std::string& data);

  struct Store;
  std::unique_ptr<Store> store_;
  CXString fileName_;
  bool dirty_ = false;
  bool needsBackup_ = false;   // the file on disk holds more than could be parsed
  bool writeBlocked_ = false;  // the file exists but cannot be read, so it must not be replaced
};
