#include "tools/scenes/PhotoScene.h"

#include <QImage>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace photo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;
constexpr double kEpsilon = 1e-7;
constexpr double kNoHit = demo::kNoHit;

const Vec3 kSun =
    demo::Normalized({std::sin(140 * kDeg) * std::cos(35 * kDeg),
                      std::cos(140 * kDeg) * std::cos(35 * kDeg), std::sin(35 * kDeg)});

std::uint64_t Mix64(std::uint64_t h) {
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

// A standard normal value that depends only on its arguments, so that a panorama renders the same
// on any number of threads.
double Gaussian(std::uint64_t station, std::uint64_t x, std::uint64_t y, std::uint64_t channel) {
  const std::uint64_t h = Mix64(station * 0x9E3779B97F4A7C15ull ^ Mix64(y << 20 ^ x) ^ channel);
  const double u1 = (static_cast<double>(h >> 11) + 1) / 9007199254740993.0;
  const double u2 = static_cast<double>(Mix64(h) >> 11) / 9007199254740992.0;
  return std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
}

Kind ParseKind(const std::string& word) {
  if (word == "textured") return Kind::Textured;
  if (word == "repeating") return Kind::Repeating;
  if (word == "plain") return Kind::Plain;
  throw std::runtime_error("unknown kind '" + word + "'");
}

double Lighting(Vec3 normal, Vec3 dir) {
  if (demo::Dot(normal, dir) > 0) normal = normal * -1;
  return 0.55 + 0.5 * std::max(0.0, demo::Dot(normal, kSun));
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Textured:
      return "textured";
    case Kind::Repeating:
      return "repeating";
    case Kind::Plain:
      return "plain";
    case Kind::Sky:
      return "sky";
  }
  return "?";
}

Texture Texture::Load(const std::string& path, int maxSide) {
  QImage image(QString::fromStdString(path));
  if (image.isNull()) throw std::runtime_error("cannot read the picture " + path);
  if (std::max(image.width(), image.height()) > maxSide)
    image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  image = image.convertToFormat(QImage::Format_RGB32);
  Texture texture;
  Level level{image.width(), image.height(), {}};
  level.rgb.resize(static_cast<std::size_t>(level.width) * level.height * 3);
  for (int y = 0; y < level.height; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < level.width; ++x) {
      float* p = &level.rgb[(static_cast<std::size_t>(y) * level.width + x) * 3];
      p[0] = qRed(row[x]) / 255.0f, p[1] = qGreen(row[x]) / 255.0f, p[2] = qBlue(row[x]) / 255.0f;
    }
  }
  texture.levels_.push_back(std::move(level));
  // Halvings by 2 x 2 means (an odd last row or column is dropped) down to a few pixels.
  while (std::min(texture.levels_.back().width, texture.levels_.back().height) >= 4) {
    const Level& big = texture.levels_.back();
    Level small{big.width / 2, big.height / 2, {}};
    small.rgb.resize(static_cast<std::size_t>(small.width) * small.height * 3);
    for (int y = 0; y < small.height; ++y)
      for (int x = 0; x < small.width; ++x)
        for (int c = 0; c < 3; ++c) {
          auto at = [&](int xx, int yy) {
            return big.rgb[(static_cast<std::size_t>(yy) * big.width + xx) * 3 + c];
          };
          small.rgb[(static_cast<std::size_t>(y) * small.width + x) * 3 + c] =
              (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
               at(2 * x + 1, 2 * y + 1)) /
              4;
        }
    texture.levels_.push_back(std::move(small));
  }
  return texture;
}

Texture Texture::Plain(Vec3 colour) {
  Texture texture;
  texture.levels_.push_back(
      {1,
       1,
       {static_cast<float>(colour.x), static_cast<float>(colour.y), static_cast<float>(colour.z)}});
  return texture;
}

Vec3 Texture::Bilinear(const Level& level, double u, double v) const {
  const double x = u * level.width - 0.5, y = v * level.height - 0.5;
  const double fx = std::floor(x), fy = std::floor(y);
  const double tx = x - fx, ty = y - fy;
  auto wrap = [](long i, int n) { return static_cast<std::size_t>(((i % n) + n) % n); };
  const std::size_t x0 = wrap(static_cast<long>(fx), level.width),
                    x1 = wrap(static_cast<long>(fx) + 1, level.width);
  const std::size_t y0 = wrap(static_cast<long>(fy), level.height),
                    y1 = wrap(static_cast<long>(fy) + 1, level.height);
  const auto w = static_cast<std::size_t>(level.width);
  Vec3 out;
  double* o[3] = {&out.x, &out.y, &out.z};
  for (std::size_t c = 0; c < 3; ++c) {
    const double a = level.rgb[(y0 * w + x0) * 3 + c], b = level.rgb[(y0 * w + x1) * 3 + c];
    const double d = level.rgb[(y1 * w + x0) * 3 + c], e = level.rgb[(y1 * w + x1) * 3 + c];
    *o[c] = (a * (1 - tx) + b * tx) * (1 - ty) + (d * (1 - tx) + e * tx) * ty;
  }
  return out;
}

Vec3 Texture::At(double u, double v, double footprint) const {
  // Trilinear: the two halvings whose texels are nearest the footprint, blended.
  const double texels = footprint * levels_[0].width;
  const double lod =
      std::clamp(std::log2(std::max(texels, 1e-9)), 0.0, static_cast<double>(levels_.size() - 1));
  const auto lo = static_cast<std::size_t>(std::floor(lod));
  const std::size_t hi = std::min(lo + 1, levels_.size() - 1);
  const double t = lod - static_cast<double>(lo);
  const Vec3 a = Bilinear(levels_[lo], u, v);
  if (t <= 0 || hi == lo) return a;
  return a + (Bilinear(levels_[hi], u, v) - a) * t;
}

Vec3 Surface::Normal() const {
  if (ground) return demo::Normalized({-slopeX, -slopeY, 1});
  return {along.y, -along.x, 0};
}

Scene Scene::Parse(const std::string& text) {
  Scene scene;
  std::istringstream lines(text);
  std::string line;
  int number = 0, stations = 0;
  std::vector<std::string> pictures;
  try {
    while (std::getline(lines, line)) {
      ++number;
      line = line.substr(0, line.find('#'));
      std::istringstream in(line);
      std::string word;
      if (!(in >> word)) continue;
      auto number_ = [&] {
        double v;
        if (!(in >> v)) throw std::runtime_error("a number is missing");
        return v;
      };
      auto text_ = [&] {
        std::string v;
        if (!(in >> v)) throw std::runtime_error("a word is missing");
        return v;
      };
      // A picture file with the metres one copy covers, or "paint R G B".
      auto look = [&](Surface& s) {
        const std::string what = text_();
        if (what == "paint") {
          const double r = number_(), g = number_(), b = number_();
          scene.textures_.push_back(Texture::Plain({r, g, b}));
          s.tileWidth = s.tileHeight = 1;
        } else {
          scene.textures_.push_back(Texture::Load(what, 2048));
          pictures.push_back(what);
          s.tileWidth = number_();
          s.tileHeight = number_();
        }
        s.texture = static_cast<int>(scene.textures_.size() - 1);
      };
      if (word == "station") {
        if (stations == 3) throw std::runtime_error("more than three stations");
        const auto k = static_cast<std::size_t>(stations++);
        const double x = number_(), y = number_();
        scene.grounds_[k] = {x, y, 0};  // height once the ground is known
        scene.cameras_[k].zero = number_();
        scene.exposures_[k] = {number_(), number_(), number_()};
      } else if (word == "sky") {
        scene.skyHorizon_ = {number_(), number_(), number_()};
        scene.skyZenith_ = {number_(), number_(), number_()};
      } else if (word == "ground") {
        Surface s;
        s.name = "ground";
        s.ground = true;
        s.kind = ParseKind(text_());
        s.slopeX = number_();
        s.slopeY = number_();
        look(s);
        scene.surfaces_.insert(scene.surfaces_.begin(), s);
      } else if (word == "wall") {
        Surface s;
        s.name = text_();
        s.kind = ParseKind(text_());
        const double x0 = number_(), y0 = number_(), x1 = number_(), y1 = number_();
        const double z0 = number_(), z1 = number_();
        s.origin = {x0, y0, z0};
        s.length = std::hypot(x1 - x0, y1 - y0);
        if (s.length <= 0 || z1 <= z0) throw std::runtime_error("an empty wall");
        s.along = {(x1 - x0) / s.length, (y1 - y0) / s.length, 0};
        s.height = z1 - z0;
        look(s);
        scene.surfaces_.push_back(s);
      } else if (word == "target") {
        TargetEntry t;
        t.name = text_();
        t.surface = text_();
        t.a = number_();
        t.b = number_();
        scene.targets_.push_back(t);
      } else {
        throw std::runtime_error("unknown entry '" + word + "'");
      }
      std::string rest;
      if (in >> rest) throw std::runtime_error("more than the entry holds: '" + rest + "'");
    }
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("line " + std::to_string(number) + ": " + e.what());
  }
  if (stations != 3) throw std::runtime_error("a scene has three stations");
  if (scene.surfaces_.empty() || !scene.surfaces_[0].ground)
    throw std::runtime_error("a scene has a ground");
  for (std::size_t k = 0; k < 3; ++k) {
    Vec3& g = scene.grounds_[k];
    g.z = scene.GroundHeight(g.x, g.y);
    scene.cameras_[k].eye = {g.x, g.y, g.z + demo::kNodalHeight};
  }
  return scene;
}

void Scene::SetTilts(const demo::Tilts& tilts) {
  for (std::size_t k = 0; k < 3; ++k) {
    cameras_[k].pitch = tilts[k].pitch;
    cameras_[k].roll = tilts[k].roll;
  }
}

double Scene::GroundHeight(double x, double y) const {
  return surfaces_[0].slopeX * x + surfaces_[0].slopeY * y;
}

int Scene::Trace(const Vec3& o, const Vec3& d, double& t) const {
  t = kNoHit;
  int hit = -1;
  for (std::size_t i = 0; i < surfaces_.size(); ++i) {
    const Surface& s = surfaces_[i];
    double ti;
    if (s.ground) {
      const double denom = d.z - s.slopeX * d.x - s.slopeY * d.y;
      if (denom >= -1e-12) continue;  // the ground is only seen from above
      ti = (s.slopeX * o.x + s.slopeY * o.y - o.z) / denom;
    } else {
      const Vec3 n = s.Normal();
      const double denom = demo::Dot(n, d);
      if (std::abs(denom) < 1e-12) continue;
      ti = demo::Dot(s.origin - o, n) / denom;
      if (ti <= kEpsilon || ti >= t) continue;
      const Vec3 p = o + d * ti - s.origin;
      const double a = demo::Dot(p, s.along);
      if (a < 0 || a > s.length || p.z < 0 || p.z > s.height) continue;
    }
    if (ti > kEpsilon && ti < t) {
      t = ti;
      hit = static_cast<int>(i);
    }
  }
  return hit;
}

Vec3 Scene::Shade(const Vec3& o, const Vec3& d, double pixelAngle) const {
  double t;
  const int hit = Trace(o, d, t);
  if (hit < 0) return skyHorizon_ + (skyZenith_ - skyHorizon_) * std::sqrt(std::max(d.z, 0.0));
  const Surface& s = surfaces_[static_cast<std::size_t>(hit)];
  const Vec3 p = o + d * t, n = s.Normal();
  const double footprint = t * pixelAngle / std::sqrt(std::max(std::abs(demo::Dot(n, d)), 0.02));
  double u, v;
  if (s.ground) {
    u = p.x / s.tileWidth;
    v = -p.y / s.tileHeight;
  } else {
    const Vec3 q = p - s.origin;
    u = demo::Dot(q, s.along) / s.tileWidth;
    v = (s.height - q.z) / s.tileHeight;
  }
  const Vec3 albedo = textures_[static_cast<std::size_t>(s.texture)].At(
      u, v, footprint / std::max(s.tileWidth, s.tileHeight));
  return albedo * Lighting(n, d);
}

namespace {

// A pixel's colour as the camera takes it: 2 x 2 samples, each filtering the pictures over its
// own footprint.
Vec3 PixelColour(const Scene& scene, const Camera& camera, const Panorama& panorama, double column,
                 double row) {
  const double sampleAngle = 360.0 / panorama.Width() * kDeg / 2;
  Vec3 sum;
  for (int s = 0; s < 4; ++s) {
    const Vec3 dir = demo::RayDirection(camera, panorama, column - 0.25 + 0.5 * (s % 2),
                                        row - 0.25 + 0.5 * (s / 2));
    sum = sum + scene.Shade(camera.eye, dir, sampleAngle);
  }
  return sum * 0.25;
}

}  // namespace

std::vector<std::uint8_t> RenderPanorama(const Scene& scene, int station, const Panorama& panorama,
                                         int threads) {
  const Camera& camera = scene.Cameras()[static_cast<std::size_t>(station)];
  const Exposure& exposure = scene.Exposures()[static_cast<std::size_t>(station)];
  const int width = panorama.Width(), height = panorama.Height();
  const auto top = static_cast<std::int64_t>(panorama.Top());
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> rgb(stride * static_cast<std::size_t>(height));
  std::atomic<int> next{0};
  auto work = [&] {
    for (int y; (y = next.fetch_add(1)) < height;) {
      std::uint8_t* row = rgb.data() + static_cast<std::size_t>(y) * stride;
      // The noise follows the row of the full sphere.
      const auto noiseRow = static_cast<std::uint64_t>(y + top);
      for (int x = 0; x < width; ++x) {
        const Vec3 colour = PixelColour(scene, camera, panorama, x, y);
        const double c[3] = {colour.x, colour.y, colour.z};
        for (int k = 0; k < 3; ++k) {
          const double v =
              255 * std::pow(std::clamp(c[k] * exposure.gain, 0.0, 1.0), exposure.gamma) +
              exposure.noise * Gaussian(static_cast<std::uint64_t>(station),
                                        static_cast<std::uint64_t>(x), noiseRow,
                                        static_cast<std::uint64_t>(k));
          row[x * 3 + k] = static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        }
      }
    }
  };
  std::vector<std::thread> pool;
  for (int i = 1; i < threads; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  return rgb;
}

namespace {

// What TargetTruth::spread holds for one station.
double Spread(const Scene& scene, const Exposure& exposure, const Camera& camera,
              const Panorama& panorama, const std::vector<Vec3>& points) {
  double sum = 0, squares = 0;
  for (const Vec3& point : points) {
    const demo::Direction d = demo::Project(camera, point);
    const double column = static_cast<double>(panorama.Column(d.hor)),
                 row = static_cast<double>(panorama.Row(d.vert));
    // As the renderer fills a pixel.
    const Vec3 colour = PixelColour(scene, camera, panorama, column, row);
    const double c[3] = {colour.x, colour.y, colour.z};
    double channel[3];
    for (int k = 0; k < 3; ++k)
      channel[k] = 255 * std::pow(std::clamp(c[k] * exposure.gain, 0.0, 1.0), exposure.gamma);
    const double grey = (77 * channel[0] + 150 * channel[1] + 29 * channel[2]) / 256;
    sum += grey;
    squares += grey * grey;
  }
  const double n = static_cast<double>(points.size());
  return std::sqrt(std::max(squares / n - (sum / n) * (sum / n), 0.0));
}

}  // namespace

demo::SceneTrace SightLines(const Scene& scene) {
  return [&scene](const Vec3& origin, const Vec3& dir) {
    double at;
    const int hit = scene.Trace(origin, dir, at);
    if (hit < 0) return demo::SurfaceHit{};
    return demo::SurfaceHit{at, scene.Surfaces()[static_cast<std::size_t>(hit)].Normal(), hit};
  };
}

std::vector<TargetTruth> Truth(const Scene& scene, const demo::Panoramas& panoramas) {
  const auto& cams = scene.Cameras();
  const Panorama& own0 = panoramas[0];
  std::vector<TargetTruth> truth;
  for (const TargetEntry& entry : scene.Targets()) {
    TargetTruth t;
    t.name = entry.name;
    auto fail = [&](const std::string& why) {
      throw std::runtime_error("target " + entry.name + ": " + why);
    };
    // With a degree to spare above and below the station's picture, wherever its rows end.
    auto inside = [&](std::size_t k, const demo::Direction& d) {
      const Panorama& own = panoramas[k];
      if (d.vert < own.PixelToVert(own.Height()) + 1 || d.vert > own.PixelToVert(0) - 1)
        fail("outside the panorama of P" + std::to_string(k));
    };
    // P0's aimed pixel, and the sight line through its centre as Torbel reads it.
    auto aimAt = [&](const Vec3& point) {
      t.p0 = demo::PixelDirection(own0, demo::NearestPixel(own0, demo::Project(cams[0], point)));
      inside(0, t.p0);
      return demo::RayDirection(cams[0], own0, static_cast<double>(own0.Column(t.p0.hor)),
                                static_cast<double>(own0.Row(t.p0.vert)));
    };
    if (entry.surface == "sky") {
      const Vec3 dir{std::sin(entry.a * kDeg) * std::cos(entry.b * kDeg),
                     std::cos(entry.a * kDeg) * std::cos(entry.b * kDeg), std::sin(entry.b * kDeg)};
      t.kind = Kind::Sky;
      double hitT;
      const Vec3 aimed = aimAt(cams[0].eye + dir * 1e9);
      if (scene.Trace(cams[0].eye, aimed, hitT) >= 0) fail("the sky is not in sight");
      t.p1 = demo::Project(cams[1], cams[1].eye + aimed * 1e9);
      t.p2 = demo::Project(cams[2], cams[2].eye + aimed * 1e9);
      truth.push_back(t);
      continue;
    }
    const auto surface = std::find_if(scene.Surfaces().begin(), scene.Surfaces().end(),
                                      [&](const Surface& s) { return s.name == entry.surface; });
    if (surface == scene.Surfaces().end()) fail("no surface " + entry.surface);
    Vec3 named;
    if (surface->ground) {
      named = {entry.a, entry.b, scene.GroundHeight(entry.a, entry.b)};
    } else {
      named = surface->origin + surface->along * entry.a;
      named.z = scene.GroundHeight(named.x, named.y) + entry.b;
    }
    // Aimed at the pixel that holds the point: the sight line through the pixel's centre, as
    // Torbel reads it, meets the surface a little beside it.
    const Vec3 dir = aimAt(named);
    double hitT;
    const int hit = scene.Trace(cams[0].eye, dir, hitT);
    if (hit < 0 || &scene.Surfaces()[static_cast<std::size_t>(hit)] != &*surface)
      fail("P0 does not see " + entry.surface + " there");
    const Vec3 point = cams[0].eye + dir * hitT;
    t.kind = surface->kind;
    t.distance = hitT;
    t.point = point;
    for (std::size_t k = 0; k < 3; ++k) {
      const Vec3 to = point - cams[k].eye;
      t.obliquity[k] =
          std::acos(std::abs(demo::Dot(demo::Normalized(to), surface->Normal()))) / kDeg;
      if (k == 0) continue;
      double seen;
      scene.Trace(cams[k].eye, demo::Normalized(to), seen);
      if (std::abs(seen - demo::Length(to)) > 1e-6) fail("hidden from P" + std::to_string(k));
      const demo::Direction d = demo::Project(cams[k], point);
      inside(k, d);
      (k == 1 ? t.p1 : t.p2) = d;
    }
    // The footprint: where P0's pixels around the target's meet the scene.
    const std::vector<Vec3> rays =
        demo::FootprintRays(cams[0], own0, static_cast<double>(own0.Column(t.p0.hor)),
                            static_cast<double>(own0.Row(t.p0.vert)));
    std::vector<Vec3> footprint;
    for (const Vec3& ray : rays) {
      double at;
      if (scene.Trace(cams[0].eye, ray, at) >= 0) footprint.push_back(cams[0].eye + ray * at);
    }
    for (std::size_t k = 0; k < 3; ++k)
      t.spread[k] = Spread(scene, scene.Exposures()[k], cams[k], panoramas[k], footprint);
    for (std::size_t k = 1; k < 3; ++k)
      t.sight[k - 1] = demo::SightOf(rays, cams[0].eye, surface->Normal(), cams[k], panoramas[k],
                                     SightLines(scene));
    truth.push_back(t);
  }
  return truth;
}

bool TargetTruth::Allowed() const {
  return kind == Kind::Textured && demo::Allowed(sight[0], spread[1]) &&
         demo::Allowed(sight[1], spread[2]);
}

std::string TruthText(const std::vector<TargetTruth>& truth) {
  std::string text =
      "target hor0 vert0 dist0 hor1 vert1 hor2 vert2 kind spread0 spread1 spread2 seen1 seen2 "
      "span1 span2 allowed (degrees; metres from P0's nodal point, 0 for the sky; grey levels; "
      "shares of the target's surface in the footprint that P1 and P2 see; the footprint's "
      "narrowest extent in their pixels on that surface; whether F3 is held to a textured "
      "target)\n";
  for (const TargetTruth& t : truth) {
    char line[320];
    std::snprintf(line, sizeof line,
                  "%s %.6Lf %.6Lf %.4Lf %.6Lf %.6Lf %.6Lf %.6Lf %s %.2f %.2f %.2f", t.name.c_str(),
                  t.p0.hor, t.p0.vert, t.distance, t.p1.hor, t.p1.vert, t.p2.hor, t.p2.vert,
                  KindName(t.kind), t.spread[0], t.spread[1], t.spread[2]);
    text += line;
    if (t.kind == Kind::Sky) {
      text += " - - - - -\n";
      continue;
    }
    const char* allowed = t.kind != Kind::Textured ? "-" : t.Allowed() ? "yes" : "no";
    std::snprintf(line, sizeof line, " %.2f %.2f %.1f %.1f %s\n", t.sight[0].seen, t.sight[1].seen,
                  t.sight[0].span, t.sight[1].span, allowed);
    text += line;
  }
  return text;
}

}  // namespace photo
