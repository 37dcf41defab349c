#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "tools/demo/Scene.h"
#include "tools/demo/Sight.h"
#include "tools/demo/Survey.h"

// Tie points for testing the station adjustment on other points than the targets: scene points
// that all three panoramas show, where a surveyor could mark them by hand.
namespace demo {

struct TiePoint {
  std::string name;
  std::array<Direction, 3> seen;  // in each station's own picture, tilts and all
  Vec3 point;
};

inline constexpr int kTieCount = 40;
inline constexpr double kTieReach = 80;       // metres from P0's nodal point at most
inline constexpr double kTieOffTarget = 1.5;  // metres from every target centre at least
inline constexpr double kTieSpacing = 2;      // metres from every other tie at least
inline constexpr double kTieSightSlack = kSightSlack;

// Up to kTieCount points, drawn the same way on every run: sight lines from P0 in random
// directions of its picture between 35 degrees down and 25 up, kept where they meet a surface
// within reach that P1 and P2 see too, inside every panorama, and apart from the targets and each
// other.
std::vector<TiePoint> TiePoints(const std::array<Camera, 3>& cameras, const Panoramas& panoramas,
                                const std::vector<Vec3>& targets, const SceneTrace& trace);
// One line per tie point under a header line.
std::string TiesText(const std::vector<TiePoint>& ties);

}  // namespace demo
