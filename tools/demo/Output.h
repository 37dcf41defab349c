#pragma once

#include <QByteArray>
#include <QFile>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/PathText.h"
#include "geometry/TorbelError.h"
#include "io/TextFile.h"

// What the generators share: the writing of what they made.
namespace demo {

// An interrupted or failed run never leaves a file that looks complete.
inline void WriteOutput(const std::filesystem::path& path, const char* data, std::size_t size) {
  try {
    WriteFileSafely(PathFromBytes(QByteArray::fromStdString(path.string())),
                    QByteArray::fromRawData(data, static_cast<qsizetype>(size)));
  } catch (const TorbelError& e) {
    throw std::runtime_error(path.string() + ": " + e.Message());
  }
}

}  // namespace demo
