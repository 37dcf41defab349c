// torbel_scene [options] <scene file> <output folder>: renders a photographic survey described by a
// scene file into the three panoramas, the project that opens them in Torbel (measured as a
// surveyor would: stations aimed at to the pixel, taped to the centimetre) and the table of its
// targets.

#include <QFile>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/PathText.h"
#include "io/ProjectFile.h"
#include "tools/demo/Output.h"
#include "tools/demo/PictureFile.h"
#include "tools/demo/PictureOptions.h"
#include "tools/demo/Survey.h"
#include "tools/demo/Ties.h"
#include "tools/scenes/PhotoScene.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

constexpr char kUsage[] =
    "usage: torbel_scene [--truth] [picture options] <scene file> <output-folder>\n"
    "Renders the photographic survey the scene file describes (three panoramas S0.bmp, S1.bmp,\n"
    "S2.bmp, the project survey.txt, the targets' truth.txt and the true frame frame.truth, tie "
    "points\n"
    "all three panoramas show ties.truth) into the folder; with --truth writes only the three "
    "truth\n"
    "files, for panoramas rendered already with the same options.\n";

int main(int argc, char** argv) {
  demo::SurveyOptions options;
  if (const std::optional<int> status =
          demo::ParseSurveyOptions(argc, argv, 2, "torbel_scene",
                                   std::string(kUsage) + demo::kPictureOptionsUsage, options)) {
    return *status;
  }
  const std::vector<std::string>& operands = options.operands;
  try {
    photo::Scene scene = photo::Scene::Parse(ReadText(operands[0]));
    if (options.tilts) scene.SetTilts(*options.tilts);
    const demo::Panoramas panoramas = options.AllPanoramas();
    // The truth first: a target that no station sees stops the run before the long rendering.
    const std::vector<photo::TargetTruth> truth = photo::Truth(scene, panoramas);
    for (const photo::TargetTruth& t : truth)
      std::printf(
          "%-5s %-9s %8.3Lf m, seen at %4.0f / %4.0f / %4.0f degrees from square on, grey spread "
          "%5.1f / %5.1f / %5.1f\n",
          t.name.c_str(), photo::KindName(t.kind), t.distance, t.obliquity[0], t.obliquity[1],
          t.obliquity[2], t.spread[0], t.spread[1], t.spread[2]);
    std::fflush(stdout);

    const fs::path folder = fs::absolute(operands[1]);
    fs::create_directories(folder);
    const std::string text = photo::TruthText(truth);
    const std::string frame = demo::FrameText(scene.Cameras(), scene.Grounds());
    std::vector<demo::Vec3> centres;
    for (const photo::TargetTruth& t : truth)
      if (t.kind != photo::Kind::Sky) centres.push_back(t.point);
    const std::string ties = demo::TiesText(
        demo::TiePoints(scene.Cameras(), panoramas, centres, photo::SightLines(scene)));
    if (options.truthOnly) {
      demo::WriteOutput(folder / "truth.txt", text.data(), text.size());
      demo::WriteOutput(folder / "frame.truth", frame.data(), frame.size());
      demo::WriteOutput(folder / "ties.truth", ties.data(), ties.size());
      return 0;
    }
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto start = std::chrono::steady_clock::now();
    std::array<QString, 3> files;
    for (int k = 0; k < 3; ++k) {
      const fs::path path = folder / options.FileName(k);
      const demo::StationPicture& picture = options.pictures[static_cast<std::size_t>(k)];
      const auto bytes = demo::PictureBytes(
          picture, options.jpeg, photo::RenderPanorama(scene, k, picture.panorama, threads));
      demo::WriteOutput(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
      files[static_cast<std::size_t>(k)] = PathFromBytes(QByteArray::fromStdString(path));
    }
    const QByteArray project =
        ProjectFileBytes(demo::MeasuredStations(scene.Cameras(), scene.Grounds(), panoramas,
                                                options.StationMeasuring()),
                         files, {}, '.');
    demo::WriteOutput(folder / "survey.txt", project.constData(),
                      static_cast<std::size_t>(project.size()));
    demo::WriteOutput(folder / "truth.txt", text.data(), text.size());
    demo::WriteOutput(folder / "frame.truth", frame.data(), frame.size());
    demo::WriteOutput(folder / "ties.truth", ties.data(), ties.size());
    std::printf("%s rendered in %.1f s\n", folder.c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torbel_scene: %s\n", e.what());
    return 1;
  }
  return 0;
}
