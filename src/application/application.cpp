// The start sequence, the structure tick and game reloads.
#include "application/application.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <vector>

#include "application/mc_application.h"
#include "application/precompiled.h"
#include "application/scene.h"
#include "application/structure_parser.h"
#include "definitions/melementsloader.h"
#include "files/bigfile.h"
#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/behaviour.h"
#include "runtime/variable.h"
#include "settings/commandline.h"
#include "settings/config.h"
#include "sound/sound_system.h"

CApplication::CApplication(CWindow* window, const CXString& settingsFile, const CXString& archiveFile,
                           CCommandLine6* commandLine)
    : window_(window), commandLine_(commandLine), startDirectory_(CPath::getStartDirectory()) {
  if (!settingsFile.isEmpty()) {
    CXString name = CPath::isAbsolute(settingsFile) ? settingsFile : CPath::join(startDirectory_, settingsFile);
    config_ = std::make_unique<CConfig>(name);
  } else {
    config_ = std::make_unique<CConfig>(CXString());
  }
  CMC_Variable::setConfig(config_.get());
  CMC_Behaviour::setTimerService(window_ ? window_->getTimer() : nullptr);
  // A broken archive is refused with one message (CBigFile); the game then runs from its folder.
  if (!archiveFile.isEmpty()) archiveOpened_ = CFile::openBigFile(archiveFile);
  if (commandLine_) CMElementsLoader::setCodingOptions(commandLine_->isToCode(), commandLine_->isToDecode());
  // A new loop of the music is the current scene's ONMUSICLOOPED (raised on the main thread).
  if (CSoundSystem* sound = CSoundSystem::current())
    sound->setMusicLoopHandler([this] {
      CMC_Application* application = getApplication();
      CMC_Scene* scene = application ? application->getCurrentScene() : nullptr;
      if (scene && scene->hasHandlerFlag(CMC_Scene::EVI_ONMUSICLOOPED)) scene->onSignal(CXString("ONMUSICLOOPED"));
    });
}

CApplication::~CApplication() {
  OnExit();
  if (CSoundSystem* sound = CSoundSystem::current()) sound->setMusicLoopHandler(nullptr);
  if (CMC_Variable::getConfig() == config_.get()) CMC_Variable::setConfig(nullptr);
  if (window_ && CMC_Behaviour::getTimerService() == window_->getTimer()) CMC_Behaviour::setTimerService(nullptr);
  if (archiveOpened_) CFile::closeBigFile();
}

CMC_Application* CApplication::getApplication() const { return parser_ ? parser_->getApplication() : nullptr; }

bool CApplication::fail(const std::string& message) {
  startError_ = message;
  if (getErrorCode() == 0) setErrorCode(kErrorNoApplication);
  TLOG_ERROR(message);
  return false;
}

bool CApplication::preinitializeApplication(bool) {
  CXString folder = commandLine_ ? commandLine_->getPath() : CXString();
  if (commandLine_ && (commandLine_->isToPack() || commandLine_->isCreateBigFile())) {
    // -pack (or -bigfile): the game folder becomes an archive named by -file, else the folder + ".pik";
    // nothing runs.
    CXString archive = commandLine_->getPackFileName();
    if (archive.isEmpty() && !folder.isEmpty()) archive = CXString(CPath::toNative(CPath::join(startDirectory_, folder)) + ".pik");
    CXString source = CPath::isAbsolute(folder) ? folder : CPath::join(startDirectory_, folder);
    if (folder.isEmpty() || archive.isEmpty()) return fail("-pack needs the game folder (-path)");
    if (!CPath::isAbsolute(archive)) archive = CPath::join(startDirectory_, archive);
    std::string error;
    if (!CBigFile::create(source, archive, &std::cout, nullptr, &error)) return fail("packing failed: " + error);
    std::cout << "\n";
    TLOG_INFO("packed " << source.view() << " into " << archive.view());
    return false;
  }
  if (!loadGame(folder)) return false;
  CMC_Application* application = getApplication();
  if (commandLine_ && commandLine_->isTo2Bin()) {
    std::string why;
    if (!application->storeBinary(&why)) return fail("the precompiled form (-2bin) could not be written: " + why);
    return false;
  }
  if (!application->initialize(nullptr))
    return fail("STARTWITH " + application->getStartWith().str() + " of " + application->getName().str() +
                " matches no episode or scene");
  return true;
}

bool CApplication::loadGame(const CXString& folder) {
  CPath::setCurrentDirectory(startDirectory_);
  CXString root = folder.isEmpty() ? startDirectory_ : CPath::makeAbsolute(folder);
  std::string native;
  // A game packed into the open archive needs no folder of its own.
  if (CPath::findExisting(root, native)) root = CXString(native);
  else if (CFile::getBigFileIfc()) root = CXString(CPath::toNative(root));
  else return fail("game folder " + folder.str() + " does not exist");
  CPath::setCurrentDirectory(root);
  CPath::setDataRoot(root);
  if (window_) {
    window_->setDataRoot(root.str());
    window_->setWavPath(CPath::join(root, "Wavs").str());
  }
  CPath::clearWritablePlaces();
  CPath::addWritablePlace(root);
  if (!dataFolder_.isEmpty()) CPath::addWritablePlace(dataFolder_);
  chooseStartDirectory(root);

  CXString dane = CPath::join(root, "Dane");
  if (CPath::findExisting(dane, native)) dane = CXString(native);
  else if (!CFile::dirExists(dane)) return fail(CPath::join(root, "Dane/application.def").str() + " not found");
  CPath::setCurrentDirectory(dane);
  bool precompile = commandLine_ && commandLine_->isTo2Bin();
  if (!precompile && !(commandLine_ && commandLine_->isForceCNV()) && CFile::fileExists(CPath::join(dane, "application.bin"))) {
    tarnvik::precompiled::warnIfOlder(CPath::join(dane, "application.bin"), CPath::join(dane, "application.def"));
    parser_ = std::make_unique<CMC_StructureParser>(window_, "application.bin", CMC_StructureParser::Precompiled{});
    if (parser_->getApplication()) {
      TLOG_INFO("running from the precompiled form");
      finished_ = false;
      return true;
    }
    TLOG_WARN(CPath::join(dane, "application.bin").view() << " refused (" << parser_->getBinaryError()
                                                          << "); reading application.def instead");
    parser_.reset();
    CPath::setCurrentDirectory(dane);
  }
  parser_ = std::make_unique<CMC_StructureParser>(window_, "application.def");
  if (!parser_->fileFound()) {
    parser_.reset();
    return fail(CPath::join(dane, "application.def").str() + " not found");
  }
  if (!parser_->getApplication()) {
    parser_.reset();
    return fail(CPath::join(dane, "application.def").str() + " declares no APPLICATION");
  }
  finished_ = false;
  return true;
}

void CApplication::chooseStartDirectory(const CXString& root) {
  std::error_code ec;
  std::string canonical = std::filesystem::weakly_canonical(root.str(), ec).string();
  std::string installed =
      installedGames_.isEmpty() ? std::string() : std::filesystem::weakly_canonical(installedGames_.str(), ec).string();
  bool isInstalled = !installed.empty() && canonical.compare(0, installed.size() + 1, installed + "/") == 0;
  bool readOnly = !dataFolder_.isEmpty() && (isInstalled || ::access(root.c_str(), W_OK) != 0);
  CPath::setStartDirectory(readOnly ? dataFolder_ : startDirectory_);
  CPath::setDataRootReadOnly(readOnly);
  if (readOnly)
    TLOG_INFO("the game folder " << root.view() << " is read-only; what the game writes goes to "
                                 << dataFolder_.view() << " and is read from there first");
}

bool CApplication::domodal() {
  CMC_Application* application = getApplication();
  if (!application) return false;
  if (!application->domodalApplication()) return false;

  // A next game was requested: it replaces this one when its folder exists.
  CXString next = application->getNextGame();
  application->setNextGame(CXString());
  CPath::setCurrentDirectory(startDirectory_);
  std::string native;
  if (!CPath::findExisting(CPath::makeAbsolute(next), native)) {
    TLOG_WARN("RELOAD: game folder " << next.view() << " does not exist; the game goes on");
    CPath::setCurrentDirectory(CPath::join(CPath::getDataRoot(), "Dane"));
    return false;
  }
  unloadGame();
  if (loadGame(CXString(native)) && getApplication()->initialize(nullptr)) return false;
  TLOG_ERROR("RELOAD into " << next.view() << " failed: " << startError_);
  return false;
}

bool CApplication::reloadSameGame(const CXString& sceneName) {
  CXString root = CPath::getDataRoot();
  unloadGame();
  // Files may have come or gone since the folders were listed.
  CPath::clearCache();
  if (!loadGame(root) || !getApplication()->initialize(nullptr)) {
    TLOG_ERROR("reload of " << root.view() << " failed: " << startError_);
    return false;
  }
  // Back to the scene: its episode first when it lies in one that is not current.
  CMC_Application* application = getApplication();
  CMC_Scene* target = nullptr;
  std::vector<CMC_Scene*> open{application};
  while (!open.empty() && !target) {
    CMC_Scene* s = open.back();
    open.pop_back();
    if (s->getName() == sceneName && s != application) target = s;
    for (CMC_Scene* child : s->getChildren()) open.push_back(child);
  }
  if (!target || target == application->getCurrentScene()) return true;
  auto* parent = dynamic_cast<CMC_Scene*>(target->getParent());
  if (!parent) return true;
  parent->setPending(target);
  if (parent != application && application->getCurrentChild() != parent) application->setPending(parent);
  return true;
}

void CApplication::unloadGame() {
  CMC_Application* application = getApplication();
  if (application && !finished_) {
    finished_ = true;
    // Leaves the current path from the innermost scene out, then the application itself.
    application->unload(nullptr);
  }
  CMC_Behaviour::flushTrash();
  parser_.reset();
}

void CApplication::OnExit() {
  unloadGame();
  if (config_) config_->flush();
}

CXString CApplication::getWAVPath(const CXString& name) const {
  return CPath::join(CPath::join(CPath::getDataRoot(), "Wavs/Sfx"), name);
}

void CApplication::OnActivateApp(bool active) {
  CMC_Application* application = getApplication();
  if (!application) return;
  int index = active ? CMC_Scene::EVI_ONACTIVATE : CMC_Scene::EVI_ONDEACTIVATE;
  CXString event(active ? "ONACTIVATE" : "ONDEACTIVATE");
  if (application->hasHandlerFlag(index)) application->onSignal(event);
  CMC_Scene* scene = application->getCurrentScene();
  if (scene && scene != application && scene->hasHandlerFlag(index)) scene->onSignal(event);
}

CXString CApplication::getCurrentSceneName() const {
  CMC_Application* application = getApplication();
  return application ? application->getCurrentScene()->getName() : CXString();
}
