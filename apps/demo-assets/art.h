// The demo's pictures and sounds, written under a game folder ("Dane/<SCENE>/..." and "Wavs/...").
#pragma once

#include <filesystem>
#include <string>

namespace demo {

bool makeArt(const std::filesystem::path& game, std::string& error);
bool makeSounds(const std::filesystem::path& game, std::string& error);

}  // namespace demo
