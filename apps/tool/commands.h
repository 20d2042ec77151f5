// The tool's commands: one function per command, each returning the process exit status.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace tarnvik::tool {

// Exit statuses shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;

struct CommandIo {
  std::ostream& out;
  std::ostream& err;
};

using CommandFunction = int (*)(const std::vector<std::string>& args, CommandIo& io);

struct Command {
  const char* name;
  const char* arguments;
  const char* summary;
  CommandFunction run;
};

// The table the dispatcher walks; later commands are added here.
const std::vector<Command>& commands();
void printUsage(std::ostream& out);
// Runs the command named by args[0] with the rest of the arguments.
int dispatch(const std::vector<std::string>& args, CommandIo& io);

// Prints the usage line of one command and returns kExitUsage.
int usage(CommandIo& io, const char* name, const char* arguments);
// Prints "tarnvik-tool: message" and returns kExitFailure.
int failure(CommandIo& io, const std::string& message);
// Writes an output file whole (atomically for a regular file, in place for a device or FIFO); on
// failure prints why and returns false.
bool writeOutput(CommandIo& io, const std::string& path, const void* data, size_t size);

int runCode(const std::vector<std::string>& args, CommandIo& io);
int runDecode(const std::vector<std::string>& args, CommandIo& io);
int runDefs(const std::vector<std::string>& args, CommandIo& io);
int runImg2Png(const std::vector<std::string>& args, CommandIo& io);
int runPng2Img(const std::vector<std::string>& args, CommandIo& io);
int runInfo(const std::vector<std::string>& args, CommandIo& io);
int runPsd2Png(const std::vector<std::string>& args, CommandIo& io);
int runPack(const std::vector<std::string>& args, CommandIo& io);
int runUnpack(const std::vector<std::string>& args, CommandIo& io);
int runList(const std::vector<std::string>& args, CommandIo& io);
int runPrecompile(const std::vector<std::string>& args, CommandIo& io);
int runAnn2Png(const std::vector<std::string>& args, CommandIo& io);
int runPng2Ann(const std::vector<std::string>& args, CommandIo& io);
// info for ".ann" files: layout, frames with their sizes, events.
int runAnnInfo(const std::vector<std::string>& args, CommandIo& io);
int runFont2Png(const std::vector<std::string>& args, CommandIo& io);
int runTtf2Font(const std::vector<std::string>& args, CommandIo& io);
int runPng2Font(const std::vector<std::string>& args, CommandIo& io);
// A game's mistakes without running it: "PATH:LINE: error|warning: MESSAGE" lines and a summary
// (or JSON); 0 clean, 1 errors (or warnings with --werror), 2 bad usage or an unreadable game.
int runCheck(const std::vector<std::string>& args, CommandIo& io);

}  // namespace tarnvik::tool
