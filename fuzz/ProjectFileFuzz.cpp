// Feeds arbitrary bytes to the project file reader. Project files travel between people and are
// opened as they come, so a bad one may only ever end in TorbelError.
//
// Beyond not crashing: whatever loads must save and load again, to the same file (points solved
// again on loading aside, see below). Otherwise a user who opens such a file and saves it has a
// project that no longer opens.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/ProjectRoundTrip.h"
#include "geometry/TorbelError.h"
#include "io/ProjectFile.h"

namespace {

[[noreturn]] void Fail(const char* what, const QByteArray& saved) {
  std::fprintf(stderr, "project_fuzz: %s\n--- saved file ---\n%s\n", what, saved.constData());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Raw data: no copy and no terminating zero, so that reading one byte too far is caught.
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  ProjectLoad load;
  try {
    load = ReadProject(bytes, FuzzStations());
  } catch (const TorbelError&) {
    return 0;  // the message the user sees; any other exception escapes and is a finding
  }

  // A point whose survey angle is negative is solved again at every load: the file cannot tell
  // it from an older file's point. It is solved from station values that saving rounded to 15
  // digits, which may fail where the exact ones did not, and give other digits.
  for (const PointRec& p : load.points) {
    if (p.Hor1 < 0 || p.Hor2 < 0) return 0;
  }
  const QByteArray saved = SaveLoaded(load);
  ProjectLoad again;
  try {
    again = ReadProject(saved, FuzzStations());
  } catch (const TorbelError& e) {
    Fail(("a loaded project fails to load once saved: " + e.Message()).c_str(), saved);
  }
  if (again.points.size() != load.points.size()) Fail("points lost when saved", saved);
  if (SaveLoaded(again) != saved) Fail("saving a saved project again changes it", saved);
  return 0;
}
