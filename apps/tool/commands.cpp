// The tool's command table, dispatcher and usage text.
#include "commands.h"

#include "foundation/atomic_file.h"

#include <ostream>

namespace tarnvik::tool {

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"code", "FILE [--cycle N]", "write FILE.coded, the coded form of a plain definition file (cycle 6 by default)", runCode},
      {"decode", "FILE", "write FILE.decoded, the plain form of a coded definition file", runDecode},
      {"defs", "FILE", "print the elements of a definition file (plain or coded) as JSON", runDefs},
      {"img2png", "IN.img OUT.png", "write an IMG (or JPEG) image as PNG, RGBA when it has an alpha plane", runImg2Png},
      {"png2img", "IN.png OUT.img [--compression 0|2|3|4|5] [--position X Y]",
       "write a PNG as an IMG file (5-6-5; the PNG's transparency becomes the alpha plane)", runPng2Img},
      {"info", "FILE", "print what an IMG, JPEG, PSD or ANN file holds as JSON", runInfo},
      {"psd2png", "IN.psd OUTDIR", "write each layer of a Photoshop document as an RGBA PNG", runPsd2Png},
      {"pack", "GAMEDIR OUT.pik", "pack a game folder into an archive", runPack},
      {"unpack", "ARCHIVE OUTDIR", "write every file of an archive under OUTDIR (hostile names are refused)", runUnpack},
      {"list", "ARCHIVE [--json]", "list an archive's files: path, size, offset (a table, or JSON)", runList},
      {"precompile", "GAMEDIR", "write the precompiled form (application.bin and the scene .bin files)", runPrecompile},
      {"ann2png", "IN.ann OUTDIR", "write every frame of an animation as an RGBA PNG and its events as events.json", runAnn2Png},
      {"png2ann", "INDIR OUT.ann [--compression N]", "build an animation from a folder ann2png wrote (compression 0 or 4)", runPng2Ann},
      {"check", "GAME [--json] [--werror]",
       "report a game's mistakes (a folder, an archive or a precompiled game) without running it", runCheck},
      {"font2png", "IN OUT.png", "write a font's letter strip as an RGBA PNG and its letters and margins as OUT.png.json", runFont2Png},
      {"ttf2font", "FONT.ttf SIZE OUT.FNT [--chars FILE] [--color RRGGBB] [--outline N]",
       "render a TrueType font's letters (default: printable ASCII and Windows-1250) into a font file", runTtf2Font},
      {"png2font", "STRIP.png LETTERS OUT.FNT", "make a font file from a strip of equal letter cells (margins from the alpha)",
       runPng2Font},
  };
  return table;
}

int usage(CommandIo& io, const char* name, const char* arguments) {
  io.err << "usage: tarnvik-tool " << name << " " << arguments << "\n";
  return kExitUsage;
}

int failure(CommandIo& io, const std::string& message) {
  io.err << "tarnvik-tool: " << message << "\n";
  return kExitFailure;
}

bool writeOutput(CommandIo& io, const std::string& path, const void* data, size_t size) {
  std::string error;
  if (replaceFileAtomically(path, data, size, 0644, false, error)) return true;
  io.err << "tarnvik-tool: " << error << "\n";
  return false;
}

void printUsage(std::ostream& out) {
  out << "usage: tarnvik-tool COMMAND [ARGUMENTS]\n\ncommands:\n";
  for (const Command& command : commands())
    out << "  " << command.name << " " << command.arguments << "\n      " << command.summary << "\n";
  out << "\nexit status: 0 success, 1 bad usage, 2 failure\n";
}

int dispatch(const std::vector<std::string>& args, CommandIo& io) {
  if (args.empty()) {
    printUsage(io.err);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    printUsage(io.out);
    return kExitOk;
  }
  for (const Command& command : commands())
    if (args[0] == command.name) return command.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
  io.err << "tarnvik-tool: unknown command '" << args[0] << "'\n";
  printUsage(io.err);
  return kExitUsage;
}

}  // namespace tarnvik::tool
