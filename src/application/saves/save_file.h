// The save file's own layout: a magic, the layout number and checksummed sections (header,
// thumbnail, engine, settings, objects), read whole and validated before anything uses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvik::saves {

// Raised whenever a section's content changes meaning; older saves are then refused by name.
inline constexpr int32_t kSaveLayout = 1;
inline constexpr char kSaveMagic[8] = {'T', 'A', 'R', 'N', 'S', 'A', 'V', 'E'};

// What a listing shows without reading the rest.
struct SaveHeader {
  std::string game;             // the game folder's name
  uint64_t fingerprint = 0;     // of the game's application file
  std::string scene;            // the scene the game was in
  std::string date;             // local time of the save, "YYYY-MM-DD HH:MM"
  int64_t playMilliseconds = 0; // engine time played
  std::string name;             // typed by the player; empty for the autosave
  int32_t frame = 0;            // the frame at whose end the game was saved
};

// A whole save: the header and the sections as their bytes.
struct SaveImage {
  SaveHeader header;
  std::vector<uint8_t> thumbnailPng;
  std::vector<uint8_t> engine;
  std::vector<uint8_t> settings;
  std::vector<uint8_t> objects;
};

// The sections in file order, by their four-letter tags.
inline constexpr const char* kSectionTags[] = {"HEAD", "SHOT", "GAME", "SETS", "OBJS"};

std::vector<uint8_t> encodeSave(const SaveImage& image);
// The whole file checked: magic, layout, every section present in order, of its length and with its
// checksum, and the header's fields. False with one sentence in `why` ("cut short in section OBJS",
// "damaged: section GAME fails its checksum", "a save of layout 0; this player reads layout 1", ...).
bool decodeSave(const std::vector<uint8_t>& bytes, SaveImage& image, std::string& why);
// FNV-1a, 64 bits: the fingerprint of an application file.
uint64_t fingerprint(const std::vector<uint8_t>& bytes);

}  // namespace tarnvik::saves
