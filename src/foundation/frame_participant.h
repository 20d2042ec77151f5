// CFrameParticipant: a subsystem that takes part in every frame tick of the window.
#pragma once

// Animation manager, sound manager, collisions, input dispatch. Phases run in this order within a tick.
class CFrameParticipant {
 public:
  enum Phase { kAnimation = 0, kSound = 1, kCollision = 2, kInput = 3, kListeners = 4 };
  virtual ~CFrameParticipant() = default;
  virtual void frameTick() = 0;
  // The application was deactivated (false) or activated again (true).
  virtual void onActivate(bool /*active*/) {}
};
