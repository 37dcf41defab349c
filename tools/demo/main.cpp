// torbel_demo [options] <output-folder>: renders the demo survey's three panoramas and writes them
// with the project that opens them in Torbel and the table of the targets' true positions.

#include <QFile>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/PathText.h"
#include "io/ProjectFile.h"
#include "tools/demo/Output.h"
#include "tools/demo/PictureFile.h"
#include "tools/demo/PictureOptions.h"
#include "tools/demo/Render.h"
#include "tools/demo/Scene.h"
#include "tools/demo/Survey.h"
#include "tools/demo/Ties.h"

namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: torbel_demo [--truth] [picture options] <output-folder>\n"
    "Renders the demo survey (three panoramas S0.bmp, S1.bmp, S2.bmp, the project demo.txt, the\n"
    "targets' true positions truth.txt and the true frame frame.truth, tie points all three\n"
    "panoramas show ties.truth) into the folder, which is made if need be; with --truth writes "
    "only\n"
    "the three truth files, for panoramas rendered already with the same options.\n";

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  demo::SurveyOptions options;
  if (const std::optional<int> status =
          demo::ParseSurveyOptions(argc, argv, 1, "torbel_demo",
                                   std::string(kUsage) + demo::kPictureOptionsUsage, options)) {
    return *status;
  }
  try {
    const fs::path folder = fs::absolute(options.operands[0]);
    fs::create_directories(folder);
    demo::Scene scene;
    if (options.tilts) scene.SetTilts(*options.tilts);
    const demo::Panoramas panoramas = options.AllPanoramas();
    std::vector<demo::TargetTruth> targets = demo::Truth(scene);
    demo::AddSpreads(scene, panoramas, targets);
    const std::string truth = demo::TruthText(targets);
    const std::string frame = demo::FrameText(scene.Cameras(), scene.GroundPoints());
    std::vector<demo::Vec3> centres;
    for (const demo::Target& t : scene.Targets()) centres.push_back(t.centre);
    const std::string ties = demo::TiesText(
        demo::TiePoints(scene.Cameras(), panoramas, centres, demo::SightLines(scene)));
    if (options.truthOnly) {
      demo::WriteOutput(folder / "truth.txt", truth.data(), truth.size());
      demo::WriteOutput(folder / "frame.truth", frame.data(), frame.size());
      demo::WriteOutput(folder / "ties.truth", ties.data(), ties.size());
      return 0;
    }
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    const auto start = std::chrono::steady_clock::now();
    std::array<QString, 3> files;
    for (int k = 0; k < 3; ++k) {
      const auto begin = std::chrono::steady_clock::now();
      const fs::path path = folder / options.FileName(k);
      const demo::StationPicture& picture = options.pictures[static_cast<std::size_t>(k)];
      const auto bytes = demo::PictureBytes(
          picture, options.jpeg, demo::RenderPanorama(scene, k, picture.panorama, threads));
      demo::WriteOutput(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
      files[static_cast<std::size_t>(k)] = PathFromBytes(QByteArray::fromStdString(path));
      std::printf("%s  %.1f s\n", path.c_str(), SecondsSince(begin));
      std::fflush(stdout);
    }

    const QByteArray project = ProjectFileBytes(
        demo::MeasuredStations(scene, panoramas, options.StationMeasuring()), files, {}, '.');
    demo::WriteOutput(folder / "demo.txt", project.constData(),
                      static_cast<std::size_t>(project.size()));
    demo::WriteOutput(folder / "truth.txt", truth.data(), truth.size());
    demo::WriteOutput(folder / "frame.truth", frame.data(), frame.size());
    demo::WriteOutput(folder / "ties.truth", ties.data(), ties.size());
    std::printf("demo survey in %s: %.1f s on %d threads\n", folder.c_str(), SecondsSince(start),
                threads);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "torbel_demo: %s\n", e.what());
    return 1;
  }
  return 0;
}
