// tarnvik-tool: command-line tools for game data.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  tarnvik::tool::CommandIo io{std::cout, std::cerr};
  return tarnvik::tool::dispatch(args, io);
}
