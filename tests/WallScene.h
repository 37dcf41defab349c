#pragma once

// A scene whose distances are known, for the distance search: a textured wall across the north,
// 20 m from P0, seen from three stations on level ground, each camera 1.6 m up and each panorama
// turned its own way.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/Mapping.h"
#include "geometry/Solver.h"
#include "tests/ClassicPanorama.h"

namespace wall {

struct Vec {
  double x, y, z;
};

constexpr double kNodal = 1.6;
constexpr double kWallY = 20;

struct Station {
  Vec ground;
  double zero;  // the compass bearing of the panorama's 0 degrees
  Vec Nodal() const { return {ground.x, ground.y, ground.z + kNodal}; }
};

// Station grounds; the panoramas' turns are the test's to choose.
const Vec kGrounds[3] = {{0, 0, 0}, {12, -2, 0}, {-10, 3, 0}};
const Vec kAimed{3, kWallY, 1.2};

inline double Deg(double radians) {
  return radians * 180 / 3.14159265358979323846;
}
inline double Rad(double degrees) {
  return degrees * 3.14159265358979323846 / 180;
}

// The panorama angles of the direction from a station's nodal point to a point.
inline void Angles(const Station& s, const Vec& p, double& hor, double& vert) {
  const Vec n = s.Nodal();
  const double dx = p.x - n.x, dy = p.y - n.y, dz = p.z - n.z;
  hor = std::fmod(Deg(std::atan2(dx, dy)) - s.zero + 720, 360);
  vert = Deg(std::atan2(dz, std::hypot(dx, dy)));
}

using Texture = std::function<int(double, double)>;  // grey value at wall position (x, z)

// Renders the columns 0 .. width - 1 of the rows top .. top + rows - 1.
inline std::vector<std::uint32_t> Render(const Station& s, const Texture& wall, int width, int top,
                                         int rows) {
  std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(rows));
  for (int row = 0; row < rows; ++row) {
    const double vert = Rad(static_cast<double>(PixelToVert(top + row)));
    for (int column = 0; column < width; ++column) {
      const double bearing = Rad(static_cast<double>(PixelToHor(column)) + s.zero);
      const Vec d{std::sin(bearing) * std::cos(vert), std::cos(bearing) * std::cos(vert),
                  std::sin(vert)};
      const Vec n = s.Nodal();
      int grey = 200;  // sky and ground: plain
      if (d.y > 1e-9) {
        const double t = (kWallY - n.y) / d.y;
        const double x = n.x + t * d.x, z = n.z + t * d.z;
        if (std::fabs(x) < 40 && z > 0 && z < 8) grey = wall(x, z);
      }
      const auto g = static_cast<std::uint32_t>(std::clamp(grey, 0, 255));
      pixels[std::size_t(row) * std::size_t(width) + std::size_t(column)] =
          0xff000000u | g << 16 | g << 8 | g;
    }
  }
  return pixels;
}

// Random grey blotches of 10 cm, smoothly interpolated: six pixels across at this range, so the
// texture still matches where another station sees it a sixth larger or smaller.
inline int Blotches(double x, double z) {
  auto cell = [](long i, long j) {
    std::uint32_t h = static_cast<std::uint32_t>(i * 73856093L ^ j * 19349663L);
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<double>(h & 255);
  };
  const double u = x / 0.1, v = z / 0.1;
  const long i = static_cast<long>(std::floor(u)), j = static_cast<long>(std::floor(v));
  const double fu = u - i, fv = v - j;
  return static_cast<int>((cell(i, j) * (1 - fu) + cell(i + 1, j) * fu) * (1 - fv) +
                          (cell(i, j + 1) * (1 - fu) + cell(i + 1, j + 1) * fu) * fv);
}

// The station geometry as exactly as a survey could measure it, and the aim at the pixel of P0
// that shows kAimed.
inline SolverState Survey(const Station (&stations)[3]) {
  SolverState s;
  const Station& p0 = stations[0];
  s.NodalHeight = kNodal;
  double hor, vert;
  Angles(p0, stations[1].ground, hor, vert);
  s.P0zu1Hor = hor;
  s.P0zu1Vert = vert;
  Angles(p0, stations[2].ground, hor, vert);
  s.P0zu2Hor = hor;
  s.P0zu2Vert = vert;
  s.DistP0P1 = std::hypot(stations[1].ground.x - p0.ground.x, stations[1].ground.y - p0.ground.y);
  s.DistP0P2 = std::hypot(stations[2].ground.x - p0.ground.x, stations[2].ground.y - p0.ground.y);
  Angles(stations[1], p0.ground, hor, vert);
  s.P1zu0Hor = hor;
  s.P1zu0Vert = vert;
  Angles(stations[2], p0.ground, hor, vert);
  s.P2zu0Hor = hor;
  s.P2zu0Vert = vert;
  Angles(p0, kAimed, hor, vert);
  s.CurHor = PixelToHor(HorToPixel(hor));
  s.CurVert = PixelToVert(VertToPixel(vert));
  return s;
}

inline double AimedDistance() {
  return std::hypot(kAimed.x, kAimed.y, kAimed.z - kNodal);
}

}  // namespace wall
