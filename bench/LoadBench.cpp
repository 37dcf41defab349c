// Loading a panorama against reading its file from the page cache, and against Qt's own reader,
// side by side in one process; and the peak memory of three loaded panoramas in a window. The
// photographic formats against their libraries' own decoding, and their memory.
//   load_bench [file.bmp]      timing (a panorama is generated when no file is given)
//   load_bench --memory        peak memory, window included (run under xvfb-run or offscreen)
//   load_bench --formats       JPEG, PNG and TIFF at 11968 x 5984, generated once
//   load_bench --formats-memory  peak memory of three such panoramas, each format on its own
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
// clang-format on

#include "app/TForm1.h"
#include "bench/Bench.h"
#include "bench/BenchPlatform.h"
#include "commands/Views.h"
#include "io/Decoders.h"
#include "io/PanoramaFile.h"

namespace {

using bench::Median;
using bench::Millis;

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

QImage LoadBitmap(const QString& path) {
  ImageSource source(path);
  return DecodeBitmap(source).Image;
}

int Timing(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  std::vector<char> buffer(std::size_t(QFile(path).size()));
  const auto readFile = [&] {
    const int fd = ::open(name.constData(), O_RDONLY);
    std::size_t at = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data() + at, buffer.size() - at)) > 0;) at += n;
    ::close(fd);
  };
  std::vector<double> read, load, qt, loadRatio, qtRatio;
  for (int round = 0; round < 11; ++round) {
    const double r = Millis(readFile);
    const double l = Millis([&] { LoadBitmap(path); });
    const double q = Millis([&] { QImageReader(path).read(); });
    if (round == 0) continue;  // warms the cache and the allocator
    read.push_back(r);
    load.push_back(l);
    qt.push_back(q);
    loadRatio.push_back(l / r);
    qtRatio.push_back(q / l);
  }
  bench::Row("loading one 8160 x 3060 24-bit panorama", Median(load), "ms",
             "reading the file from the page cache", Median(read), Median(loadRatio), "at most 4");
  bench::Row("QImageReader on the same file", Median(qt), "ms", "our loading", Median(load),
             Median(qtRatio), "at least 2");
  return 0;
}

int Memory(int argc, char** argv, const QString& path) {
  QApplication app(argc, argv);
  BenchPlatform platform;
  TForm1 form(platform, ',');
  form.resize(1920, 1080);
  form.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const long before = PeakKiB();
  WorkingState& s = form.State();
  s.Pano0 = LoadBitmap(path);
  s.Pano1 = LoadBitmap(path);
  s.Pano2 = LoadBitmap(path);
  CenterViews(form.Commands(), true);
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  const long after = PeakKiB();
  const double pixelKiB = 3.0 * 8160 * 3060 * 4 / 1024;
  bench::Row("peak memory with three panoramas loaded, above the empty window",
             double(after - before) / 1024, "MiB", "their pixel bytes", pixelKiB / 1024,
             (after - before) / pixelKiB, "at most 1.1");
  return 0;
}

// The size of a 72-megapixel camera's panorama.
constexpr int kWidth = 11968, kHeight = 5984;

// One row of a noisy photographic-like panorama: sky over ground, buildings of varying shade, and
// sensor noise, which keeps the compressed files as large as a camera's.
void PanoramaRow(int y, std::vector<unsigned char>& rgb) {
  std::uint32_t noise = 0x9e3779b9u * (y + 1);
  for (int x = 0; x < kWidth; ++x) {
    noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
    const int grain = int(noise % 13) - 6;
    const bool sky = y < kHeight / 2 - 400 + (x / 700 % 3) * 150;
    const int shade = sky ? 150 + y * 80 / kHeight : 60 + (x / 37 % 7) * 12 + (y / 29 % 5) * 9;
    const int values[3] = {sky ? shade - 40 : shade + 20, shade, sky ? shade + 60 : shade - 15};
    for (int c = 0; c < 3; ++c) {
      rgb[std::size_t(x) * 3 + c] =
          static_cast<unsigned char>(std::clamp(values[c] + grain, 0, 255));
    }
  }
}

void WriteJpeg(const QString& path) {
  FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
  jpeg_compress_struct c{};
  jpeg_error_mgr e{};
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = kWidth, c.image_height = kHeight, c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(std::size_t(kWidth) * 3);
  for (int y = 0; y < kHeight; ++y) {
    PanoramaRow(y, row);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

void WritePng(const QString& path) {
  FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  png_init_io(p, f);
  png_set_compression_level(p, 1);
  png_set_IHDR(p, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(p, info);
  std::vector<unsigned char> row(std::size_t(kWidth) * 3);
  for (int y = 0; y < kHeight; ++y) {
    PanoramaRow(y, row);
    png_write_row(p, row.data());
  }
  png_write_end(p, info);
  png_destroy_write_struct(&p, &info);
  std::fclose(f);
}

void WriteTiff(const QString& path, std::uint16_t compression) {
  TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_LZW) TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  std::vector<unsigned char> row(std::size_t(kWidth) * 3);
  for (int y = 0; y < kHeight; ++y) {
    PanoramaRow(y, row);
    TIFFWriteScanline(t, row.data(), y, 0);
  }
  TIFFClose(t);
}

struct Formats {
  QString jpeg, png, tiff, tiffLzw;
};

Formats WriteFormats(const QTemporaryDir& dir) {
  const Formats f{dir.filePath("pano.jpg"), dir.filePath("pano.png"), dir.filePath("pano.tif"),
                  dir.filePath("pano-lzw.tif")};
  WriteJpeg(f.jpeg);
  WritePng(f.png);
  WriteTiff(f.tiff, COMPRESSION_NONE);
  WriteTiff(f.tiffLzw, COMPRESSION_LZW);
  return f;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) std::abort();
  return f.readAll();
}

// The libraries' own decoding, as a program of their own would do it: the file read, a fresh
// buffer of the pixels as the library gives them, nothing converted.
void TurboJpegRgb(const QString& path) {
  const QByteArray file = ReadAll(path);
  tjhandle h = tjInitDecompress();
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.constData());
  int width = 0, height = 0, subsampling = 0, colours = 0;
  tjDecompressHeader3(h, bytes, static_cast<unsigned long>(file.size()), &width, &height,
                      &subsampling, &colours);
  std::unique_ptr<unsigned char[]> rgb(new unsigned char[std::size_t(width) * height * 3]);
  if (tjDecompress2(h, bytes, static_cast<unsigned long>(file.size()), rgb.get(), width, 0, height,
                    TJPF_RGB, 0) != 0) {
    std::abort();
  }
  tjDestroy(h);
}

void LibpngRgb(const QString& path) {
  FILE* f = std::fopen(QFile::encodeName(path).constData(), "rb");
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  png_init_io(p, f);
  png_read_info(p, info);
  const std::size_t stride = png_get_rowbytes(p, info), height = png_get_image_height(p, info);
  std::unique_ptr<unsigned char[]> rgb(new unsigned char[stride * height]);
  std::vector<png_bytep> rows(height);
  for (std::size_t y = 0; y < height; ++y) rows[y] = rgb.get() + y * stride;
  png_read_image(p, rows.data());
  png_read_end(p, nullptr);
  png_destroy_read_struct(&p, &info, nullptr);
  std::fclose(f);
}

void LibtiffStrips(const QString& path) {
  TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
  const tmsize_t strip = TIFFStripSize(t);
  const std::uint32_t strips = TIFFNumberOfStrips(t);
  std::unique_ptr<unsigned char[]> rgb(new unsigned char[std::size_t(strip) * strips]);
  for (std::uint32_t s = 0; s < strips; ++s) TIFFReadEncodedStrip(t, s, rgb.get() + s * strip, -1);
  TIFFClose(t);
}

void LibtiffRgba(const QString& path) {
  TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "r");
  std::unique_ptr<std::uint32_t[]> rgba(new std::uint32_t[std::size_t(kWidth) * kHeight]);
  TIFFReadRGBAImageOriented(t, kWidth, kHeight, rgba.get(), ORIENTATION_TOPLEFT, 1);
  TIFFClose(t);
}

// The row's text, with the file's size.
QByteArray Sized(const char* what, const QString& path) {
  return QStringLiteral("%1 (%2 MB)")
      .arg(QString::fromUtf8(what))
      .arg(double(QFile(path).size()) / 1e6, 0, 'f', 0)
      .toUtf8();
}

template <typename Baseline>
void Compare(const char* what, const char* baseline, const char* target, const QString& path,
             Baseline run) {
  std::vector<double> ours, theirs, ratios;
  for (int round = 0; round < 6; ++round) {
    const double b = Millis([&] { run(path); });
    const double o = Millis([&] { ReadPanoramaFile(path); });
    if (round == 0) continue;  // warms the cache and the allocator
    ours.push_back(o);
    theirs.push_back(b);
    ratios.push_back(o / b);
  }
  bench::Row(Sized(what, path).constData(), Median(ours), "ms", baseline, Median(theirs),
             Median(ratios), target);
}

int FormatsTiming() {
  QTemporaryDir dir;
  const Formats f = WriteFormats(dir);
  Compare("loading a 11968 x 5984 JPEG, quality 90", "libjpeg-turbo's own decoding to RGB",
          "at most 1.2", f.jpeg, TurboJpegRgb);
  Compare("loading the same as PNG", "libpng's own decoding to RGB", "at most 1.5", f.png,
          LibpngRgb);
  Compare("loading the same as TIFF, uncompressed", "libtiff's own decoding of the strips",
          "at most 1.5", f.tiff, LibtiffStrips);
  Compare("the same", "libtiff's own decoding to RGBA", "(for comparison)", f.tiff, LibtiffRgba);
  Compare("loading the same as TIFF, LZW", "libtiff's own decoding of the strips", "at most 1.5",
          f.tiffLzw, LibtiffStrips);
  return 0;
}

// In a child process each, so that one format's peak does not hide another's.
int FormatsMemory() {
  QTemporaryDir dir;
  const Formats f = WriteFormats(dir);
  const std::pair<const char*, QString> files[] = {
      {"peak memory with three 11968 x 5984 JPEG panoramas loaded", f.jpeg},
      {"the same as PNG", f.png},
      {"the same as TIFF", f.tiff},
      {"the same as TIFF, LZW", f.tiffLzw}};
  for (const auto& [what, path] : files) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
      const long before = PeakKiB();
      std::array<PanoPicture, 3> panoramas;
      for (PanoPicture& p : panoramas) p = ReadPanoramaFile(path);
      const long after = PeakKiB();
      const double pixelKiB = 3.0 * kWidth * kHeight * 4 / 1024;
      bench::Row(what, double(after - before) / 1024, "MiB", "their pixel bytes", pixelKiB / 1024,
                 (after - before) / pixelKiB, "at most 1.1");
      std::_Exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--formats") == 0) return FormatsTiming();
  if (argc > 1 && std::strcmp(argv[1], "--formats-memory") == 0) return FormatsMemory();
  const bool memory = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
  QTemporaryDir dir;
  QString path = !memory && argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (path.isEmpty()) {
    path = dir.filePath(QStringLiteral("pano.bmp"));
    bench::WritePanorama(path);
  }
  return memory ? Memory(argc, argv, path) : Timing(path);
}
