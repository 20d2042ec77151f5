// CMC_StructureParser: builds the application, its episodes and scenes from the application file.
#pragma once

#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/xstring.h"

class CWindow;
class CMElements;
class CMC_Application;
class CMC_Scene;

class CMC_StructureParser {
 public:
  // Initialises the variable pool and the runner registry, then loads the file (relative to the
  // engine's current directory).
  CMC_StructureParser(CWindow* window, const CXString& fileName);
  // The same structure from the precompiled "application.bin". On a file that does not match, no
  // application is built and getBinaryError() says why.
  struct Precompiled {};
  CMC_StructureParser(CWindow* window, const CXString& fileName, Precompiled);
  CMC_StructureParser(CWindow* window, const std::vector<uint8_t>& bytes, Precompiled);
  // Deletes the structure and tears the registries down again.
  ~CMC_StructureParser();
  CMC_StructureParser(const CMC_StructureParser&) = delete;
  CMC_StructureParser& operator=(const CMC_StructureParser&) = delete;

  // The application built, or null when the file is missing or has no APPLICATION element.
  CMC_Application* getApplication() const { return application_; }
  // The structure object of that name (scene, episode or application), or null.
  CMC_Scene* get(const CXString& name) const;
  bool fileFound() const { return fileFound_; }
  const std::string& getBinaryError() const { return binaryError_; }
  // Scenes, episodes, then the application, in the order they were built.
  std::vector<CMC_Scene*> structure() const;

 private:
  void build(CWindow* window, CMElements* elements, const CXString& fileName);
  void buildPrecompiled(CWindow* window, const std::vector<uint8_t>& bytes, const CXString& fileName);

  CMC_Application* application_ = nullptr;
  std::vector<std::unique_ptr<CMC_Scene>> objects_;
  bool fileFound_ = false;
  std::string binaryError_;
};
