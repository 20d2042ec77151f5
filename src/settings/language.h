// CLanguageOSVer: the language number and language folder, from the system language or a script.
#pragma once

#include <functional>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CLanguageOSVer : public CXObject {
 public:
  // The language number of every code outside the table; it has no folder.
  static constexpr int kUnknownLanguage = 9;

  // Reads the system language (see systemLanguageCode).
  CLanguageOSVer();
  // Starts from the given four-digit hexadecimal language identifier.
  explicit CLanguageOSVer(const CXString& code);

  // The language identifier of the system, four upper-case hexadecimal digits, from the first
  // non-empty one of LC_ALL, LC_MESSAGES and LANG ("pl_PL.UTF-8" gives "0415"). "0000" when unknown.
  static CXString systemLanguageCode();
  // The table lookups: language number for an identifier, folder for a number ("" when none).
  static int languageNumber(const CXString& code);
  static CXString languageFolder(int number);

  int getLang() const { return lang_; }
  const CXString& getLangCode() const { return code_; }
  const CXString& getLanguageFolder() const { return folder_; }

  // Sets the language from an identifier (blanks trimmed, letters upper-cased), recomputes the
  // folder and re-initialises the keyboard layout through the hook.
  void setLanguageFolder(const CXString& code);

  // The language variant of a file name: the language folder inserted before the file part
  // ("ANIMS\A.ANN" -> "ANIMS\POL\A.ANN") when such a file can be opened; else the name unchanged.
  CXString getLocalFileName(const CXString& name) const;

  // How getLocalFileName checks that a variant exists. The default opens the name on the local
  // file system with "\" read as "/"; the file layer installs its own name resolution here.
  using FileProbe = std::function<bool(const CXString& path)>;
  void setFileProbe(FileProbe probe) { probe_ = std::move(probe); }

  // Called with the new identifier after setLanguageFolder; the input layer uses it to reload the
  // keyboard layout. Nothing is called while no hook is set.
  using KeyboardLayoutHook = std::function<void(const CXString& code)>;
  void setKeyboardLayoutHook(KeyboardLayoutHook hook) { keyboardHook_ = std::move(hook); }

 private:
  void apply(const CXString& code);

  CXString code_;
  int lang_ = kUnknownLanguage;
  CXString folder_;
  FileProbe probe_;
  KeyboardLayoutHook keyboardHook_;
};
