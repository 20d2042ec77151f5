// Shared helpers of the definition tests: temporary folders and whole-file access.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "definitions/melement.h"
#include "definitions/melementsloader.h"

namespace deftest {

// A fresh folder under the system temporary folder, removed again with the object.
class TempDir {
 public:
  TempDir() {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() / ("tarnvik-defs-" + std::to_string(device()) + std::to_string(device()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Parses bytes held in memory.
inline CMElements* parse(const std::string& text) {
  CTextFileReader reader(text);
  return CMElementsLoader::load(nullptr, &reader);
}

// name=value pairs of an element's properties, in order, joined by ';'.
inline std::string describe(const CMElement* element) {
  std::string out;
  const CMProperties& properties = element->getProperties();
  for (int i = 0; i < properties.size(); ++i) {
    if (i) out += ';';
    out += properties.getAt(i)->getName().str() + "=" + properties.getAt(i)->getValue().str();
  }
  return out;
}

// Every element with its properties and child names, one per line.
inline std::string describe(const CMElements* elements) {
  std::string out;
  for (const CMElement* element : *elements) {
    out += "[" + element->getName().str() + "] " + describe(element) + " {";
    for (const CMElement* child : *element->getChildren()) out += child->getName().str() + ",";
    out += "}\n";
  }
  return out;
}

}  // namespace deftest
