// The text of `tarnvik --version`: the player's version and the libraries it was built with.
#pragma once

#include <string>

std::string versionText();
