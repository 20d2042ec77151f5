// CCommandLine6: the engine's command-line options, recognised once and queried by the rest of the engine.
#pragma once

#include <string>
#include <vector>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CCommandLine6 : public CXObject {
 public:
  // An option word equal to this (with "-" or "/" in front) turns cheat mode on like "cheat".
  static constexpr const char* kAccessWord = "tolvenrask";
  // The download server used when "server" is not followed by an address.
  static constexpr const char* kDefaultServer = "download.tarnvik.org";
  // Resolutions above this in either direction are refused as nonsense.
  static constexpr int kMaxResolution = 16384;

  CCommandLine6();
  // For each word of a host's word list, whether the engine reads it as an option word or an
  // option's value. A word starting with "-" is always an option word (scripts ask for any name);
  // one starting with "/" only when it names an option the engine knows, so "/window" is an option
  // and "/home/me/game" a path.
  static std::vector<bool> optionWords(const std::vector<std::string>& words);
  explicit CCommandLine6(const CXString& commandLine);
  // Word lists as a host receives them (without the program name). The words are joined with blanks
  // and split again, so a word holding a blank counts as two, exactly as in the single-string form.
  CCommandLine6(int argc, const char* const* argv);
  explicit CCommandLine6(const std::vector<std::string>& words);

  const CXString& getCommandLine() const { return line_; }
  int getWordCount() const { return static_cast<int>(words_.size()); }
  // The i-th word, empty outside the line.
  CXString getWord(int index) const;

  // Switches.
  bool isMusicEnabled() const { return music_; }
  bool isSoundEnabled() const { return sound_; }
  bool isWindowMode() const { return window_; }
  bool isNoGfx() const { return noGfx_; }
  bool isServer() const { return server_; }
  bool isClient() const { return client_; }
  bool isPageFlippingEnabled() const { return pageFlipping_; }
  bool isToCode() const { return code_; }
  bool isToDecode() const { return decode_; }
  bool isToRemove() const { return remove_; }
  bool isVMem() const { return vmem_; }
  bool isCheatMode() const { return cheat_; }
  bool isTo2Bin() const { return toBin_; }
  bool isForceCNV() const { return forceCnv_; }
  bool isDebugMode() const { return debug_; }
  bool isCreateBigFile() const { return bigFile_; }
  bool isLogEnabled() const { return log_; }
  bool isRunWithParams() const { return params_; }
  bool isNoFrame() const { return noFrame_; }

  // Valued options.
  // True and the size when "res" was given with two valid numbers; otherwise false, outputs untouched.
  bool getResolution(int& width, int& height) const;
  bool hasResolution() const { return resWidth_ > 0; }
  const CXString& getPath() const { return path_; }
  bool isGame() const { return !gameName_.isEmpty(); }
  const CXString& getGameName() const { return gameName_; }
  int getDelay() const { return delay_; }
  const CXString& getServer() const { return serverAddress_; }
  const CXString& getPlayer() const { return player_; }
  bool isToPack() const { return pack_; }
  // The folder to pack (the game folder) and the archive to write: the "file" value when given,
  // else the folder with ".pik" appended. Both are empty when not packing.
  CXString getPackSource() const;
  CXString getPackFileName() const;

  // Generic queries for scripts: whether "-name" or "/name" is on the line, and the word after it.
  bool isParameter(const CXString& name) const;
  CXString getParameter(const CXString& name) const;
  // The "fullname" value with every "_" turned into a blank (values cannot hold blanks).
  CXString getFullName() const;
  CXString getVersion() const;

  // The few settings that may change after construction.
  void runInWindow(bool window = true) { window_ = window; }
  void setAsShowDbg(bool debug = true) { debug_ = debug; }
  void setPath(const CXString& path) { path_ = path; }

 private:
  void parse();
  // Index of the first word "-name" or "/name", or -1.
  int findOption(const std::string& name) const;
  // The word after the option; false when the option is absent or is the last word.
  bool optionValue(const std::string& name, CXString& value) const;

  CXString line_;
  std::vector<CXString> words_;

  bool music_ = true;
  bool sound_ = true;
  bool window_ = false;
  bool noGfx_ = false;
  bool server_ = false;
  bool client_ = false;
  bool pageFlipping_ = false;
  bool code_ = false;
  bool decode_ = false;
  bool remove_ = false;
  bool vmem_ = false;
  bool cheat_ = false;
  bool toBin_ = false;
  bool forceCnv_ = false;
  bool debug_ = false;
  bool bigFile_ = false;
  bool log_ = false;
  bool params_ = false;
  bool noFrame_ = false;
  bool pack_ = false;

  int resWidth_ = 0;
  int resHeight_ = 0;
  CXString path_;
  CXString gameName_;
  int delay_ = 0;
  CXString packFile_;
  CXString player_;
  CXString serverAddress_{kDefaultServer};
};
