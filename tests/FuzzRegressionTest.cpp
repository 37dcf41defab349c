// Replays the fuzzers' seed corpora and every input they ever found a fault with, so that the
// ordinary test run holds the readers to what the fuzz targets check: a bad file ends in
// TorbelError, a good one reads (and a project that loads saves and loads again).

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/PictureFuzz.h"
#include "fuzz/ProjectRoundTrip.h"
#include "geometry/TorbelError.h"
#include "io/PanoramaFile.h"
#include "io/ProjectFile.h"

#ifndef TORBEL_SOURCE_DIR
#error "TORBEL_SOURCE_DIR (the repository root) must be defined to find the fuzz inputs"
#endif

namespace {

struct Input {
  QString name;
  QByteArray bytes;
};

// The files of fuzz/<folder>/<kind>, sorted by name. A test over no inputs would pass whatever
// the reader does, so a missing or empty folder fails the test.
std::vector<Input> Inputs(const char* folder, const char* kind) {
  const QDir dir(QStringLiteral(TORBEL_SOURCE_DIR "/fuzz/%1/%2").arg(folder, kind));
  std::vector<Input> inputs;
  EXPECT_FALSE(dir.isEmpty(QDir::Files)) << dir.path().toStdString() << " holds no inputs";
  for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Name)) {
    QFile file(info.filePath());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << info.filePath().toStdString();
    inputs.push_back({info.fileName(), file.readAll()});
  }
  return inputs;
}

bool MustBeRefused(const Input& input) {
  return input.name.startsWith(QStringLiteral("invalid_"));
}

// The loaded project, or nothing when the reader refused it with TorbelError; any other
// exception fails the test.
std::optional<ProjectLoad> Load(const QByteArray& bytes) {
  try {
    return ReadProject(bytes, FuzzStations());
  } catch (const TorbelError&) {
    return std::nullopt;
  }
}

// A project that loads must survive being saved and loaded again, unless it has points that are
// solved again on loading (see fuzz/ProjectFileFuzz.cpp).
void ExpectSavesAndLoadsAgain(const ProjectLoad& load) {
  for (const PointRec& p : load.points) {
    if (p.Hor1 < 0 || p.Hor2 < 0) return;
  }
  const QByteArray saved = SaveLoaded(load);
  std::optional<ProjectLoad> again;
  try {
    again = ReadProject(saved, FuzzStations());
  } catch (const TorbelError& e) {
    ADD_FAILURE() << "the saved project does not load: " << e.Message() << "\n"
                  << saved.toStdString();
    return;
  }
  EXPECT_EQ(again->points.size(), load.points.size());
}

std::optional<QImage> Decode(const QByteArray& bytes) {
  try {
    ImageSource source(reinterpret_cast<const unsigned char*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()));
    return DecodeBitmap(source).Image;
  } catch (const TorbelError&) {
    return std::nullopt;
  }
}

void ExpectUsableImage(const QImage& image) {
  ASSERT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_GT(image.width(), 0);
  EXPECT_LE(image.width(), 16384);
  EXPECT_GT(image.height(), 0);
  EXPECT_LE(image.height(), 8192);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(qAlpha(image.pixel(x, y)), 255);
  }
}

TEST(FuzzSeeds, ProjectsLoadUnlessMadeInvalid) {
  const std::vector<Input> seeds = Inputs("corpus", "project");
  ASSERT_GE(seeds.size(), 8u);
  for (const Input& seed : seeds) {
    SCOPED_TRACE(seed.name.toStdString());
    const std::optional<ProjectLoad> load = Load(seed.bytes);
    EXPECT_EQ(load.has_value(), !MustBeRefused(seed));
    if (load) ExpectSavesAndLoadsAgain(*load);
  }
}

TEST(FuzzSeeds, BitmapsDecodeUnlessMadeInvalid) {
  const std::vector<Input> seeds = Inputs("corpus", "bitmap");
  ASSERT_GE(seeds.size(), 15u);
  for (const Input& seed : seeds) {
    SCOPED_TRACE(seed.name.toStdString());
    const std::optional<QImage> image = Decode(seed.bytes);
    EXPECT_EQ(image.has_value(), !MustBeRefused(seed));
    if (image) ExpectUsableImage(*image);
  }
}

// The photographic formats through the whole reading, photo-sphere tags included.
TEST(FuzzSeeds, PicturesDecodeUnlessMadeInvalid) {
  for (const char* kind : {"jpeg", "png", "tiff"}) {
    const std::vector<Input> seeds = Inputs("corpus", kind);
    EXPECT_GE(seeds.size(), 10u) << kind;
    for (const Input& seed : seeds) {
      SCOPED_TRACE(seed.name.toStdString());
      std::optional<QImage> image;
      try {
        image = DecodePanoramaFile(reinterpret_cast<const unsigned char*>(seed.bytes.constData()),
                                   static_cast<std::size_t>(seed.bytes.size()))
                    .Image;
      } catch (const TorbelError&) {
      }
      EXPECT_EQ(image.has_value(), !MustBeRefused(seed));
      if (image) ExpectUsableImage(*image);
    }
  }
}

TEST(FuzzSeeds, CropsReadUnlessMadeInvalid) {
  const std::vector<Input> seeds = Inputs("corpus", "xmp");
  ASSERT_GE(seeds.size(), 6u);
  for (const Input& seed : seeds) {
    SCOPED_TRACE(seed.name.toStdString());
    const auto* data = reinterpret_cast<const std::uint8_t*>(seed.bytes.constData());
    const std::string packet = seed.bytes.mid(kXmpSizeBytes).toStdString();
    bool read = true;
    try {
      PanoramaTop(packet, XmpFuzzWidth(data), XmpFuzzHeight(data));
    } catch (const TorbelError&) {
      read = false;
    }
    EXPECT_EQ(read, !MustBeRefused(seed));
  }
}

// Inputs the fuzzers once failed on: now refused cleanly or read in full.
TEST(FuzzRegressions, ProjectsFailCleanlyOrSurviveSaving) {
  for (const Input& input : Inputs("regressions", "project")) {
    SCOPED_TRACE(input.name.toStdString());
    if (const std::optional<ProjectLoad> load = Load(input.bytes)) ExpectSavesAndLoadsAgain(*load);
  }
}

TEST(FuzzRegressions, PicturesFailCleanlyOrDecode) {
  for (const Input& input : Inputs("regressions", "png")) {
    SCOPED_TRACE(input.name.toStdString());
    try {
      ExpectUsableImage(
          DecodePanoramaFile(reinterpret_cast<const unsigned char*>(input.bytes.constData()),
                             static_cast<std::size_t>(input.bytes.size()))
              .Image);
    } catch (const TorbelError&) {
    }
  }
}

TEST(FuzzRegressions, BitmapsFailCleanlyOrDecode) {
  for (const Input& input : Inputs("regressions", "bitmap")) {
    SCOPED_TRACE(input.name.toStdString());
    if (const std::optional<QImage> image = Decode(input.bytes)) ExpectUsableImage(*image);
  }
}

}  // namespace
