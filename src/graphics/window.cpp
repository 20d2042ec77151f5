// The window's frame tick and its registry of per-frame participants.
#include "graphics/window.h"

#include <algorithm>

#include "platform/video.h"

namespace {
CWindow* g_current = nullptr;
}

CWindow::CWindow(CCommandLine6* commandLine, CLanguageOSVer* language, tarnvik::VideoOutput* video, int width,
                 int height)
    : commandLine_(commandLine), language_(language), video_(video), width_(width), height_(height) {
  g_current = this;
  if (language_) setLanguage(language_);
}

CWindow::~CWindow() {
  if (g_current == this) g_current = nullptr;
}

CWindow* CWindow::getCurrent() { return g_current; }

void CWindow::Tick() {
  if (!active_) return;
  ++frames_;
  timer_.domodal();
  // Participants may register or leave while ticking: walk a copy.
  auto snapshot = participants_;
  for (auto& [phase, participant] : snapshot) {
    if (std::find(participants_.begin(), participants_.end(), std::make_pair(phase, participant)) != participants_.end())
      participant->frameTick();
  }
}

bool CWindow::domodal() {
  Tick();
  return quit_;
}

void CWindow::OnActivateApp(bool active) {
  if (active == active_) return;
  active_ = active;
}

void CWindow::minimize() {
  if (video_) video_->minimize();
}

void CWindow::addParticipant(CFrameParticipant::Phase phase, CFrameParticipant* participant) {
  if (!participant) return;
  auto at = std::find_if(participants_.begin(), participants_.end(), [phase](const auto& p) { return p.first > phase; });
  participants_.insert(at, {phase, participant});
}

void CWindow::removeParticipant(CFrameParticipant* participant) {
  participants_.erase(std::remove_if(participants_.begin(), participants_.end(),
                                     [participant](const auto& p) { return p.second == participant; }),
                      participants_.end());
}
