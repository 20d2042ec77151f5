// Tool commands over definition files: code, decode and defs.
#include <charconv>
#include <nlohmann/json.hpp>
#include <ostream>

#include "commands.h"
#include "definitions/melementsloader.h"
#include "definitions/textcoder.h"
#include "definitions/textfilereader.h"
#include "foundation/cp1250.h"

namespace tarnvik::tool {

namespace {

// Opens the file without any side file; 0 when readable, and whether it is coded.
int probe(const std::string& file, bool& coded) {
  CTextCoder coder(nullptr, CXString(file), true);
  coded = coder.isCoded();
  return coder.getErrorCode();
}

}  // namespace

int runCode(const std::vector<std::string>& args, CommandIo& io) {
  std::string file;
  int cycle = CTextCoder::kDefaultCycle;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--cycle") {
      if (i + 1 >= args.size()) return usage(io, "code", "FILE [--cycle N]");
      const std::string& text = args[++i];
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), cycle);
      if (error != std::errc() || end != text.data() + text.size() || cycle < 1) {
        io.err << "tarnvik-tool: the cycle must be a whole number of at least 1, not '" << text << "'\n";
        return kExitUsage;
      }
    } else if (file.empty() && !args[i].starts_with("--")) {
      file = args[i];
    } else {
      return usage(io, "code", "FILE [--cycle N]");
    }
  }
  if (file.empty()) return usage(io, "code", "FILE [--cycle N]");
  bool coded = false;
  if (probe(file, coded) != 0) return failure(io, "cannot read '" + file + "'");
  if (coded) return failure(io, "'" + file + "' is already coded");
  const std::string target = file + ".coded";
  if (!CTextCoder::code(nullptr, CXString(file), CXString(target), cycle))
    return failure(io, "cannot write '" + target + "' (unwritable, or text the coded form cannot carry)");
  io.out << "wrote " << target << " (cycle " << cycle << ")\n";
  return kExitOk;
}

int runDecode(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 1 || args[0].starts_with("--")) return usage(io, "decode", "FILE");
  const std::string& file = args[0];
  bool coded = false;
  if (probe(file, coded) != 0) return failure(io, "cannot read '" + file + "'");
  if (!coded) return failure(io, "'" + file + "' is not coded");
  const std::string target = file + ".decoded";
  if (!CTextCoder::decode(nullptr, CXString(file), CXString(target))) return failure(io, "cannot write '" + target + "'");
  io.out << "wrote " << target << "\n";
  return kExitOk;
}

int runDefs(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 1 || args[0].starts_with("--")) return usage(io, "defs", "FILE");
  const std::string& file = args[0];
  CTextFileReader reader(nullptr, CXString(file));
  if (reader.getErrorCode() != 0) return failure(io, "cannot read '" + file + "'");
  CTextCoder coder(nullptr, &reader, true);
  std::unique_ptr<CMElements> elements(CMElementsLoader::load(&coder));
  if (!elements) return failure(io, "'" + file + "' has an unreadable coded header");

  auto text = [](const CXString& s) { return cp1250::toUtf8(s.view()); };
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (const CMElement* element : *elements) {
    nlohmann::ordered_json properties = nlohmann::ordered_json::array();
    const CMProperties& list = element->getProperties();
    for (int i = 0; i < list.size(); ++i)
      properties.push_back({text(list.getAt(i)->getName()), text(list.getAt(i)->getValue())});
    nlohmann::ordered_json children = nlohmann::ordered_json::array();
    for (const CMElement* child : *element->getChildren()) children.push_back(text(child->getName()));
    nlohmann::ordered_json entry;
    entry["name"] = text(element->getName());
    entry["properties"] = std::move(properties);
    entry["children"] = std::move(children);
    out.push_back(std::move(entry));
  }
  io.out << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  return kExitOk;
}

}  // namespace tarnvik::tool
