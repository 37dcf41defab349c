#pragma once

#include <QByteArray>
#include <QFile>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/PathText.h"
#include "geometry/TorbelError.h"
#include "io/TextFile.h"

// What the generators share: their command line and the writing of what they made.
namespace demo {

// For a program that takes `operands` plain arguments: the exit status when the command line
// asks for the usage (0) or is not one (2, an unknown option or the wrong count); nothing when
// the program should go on. A program with one option of its own names it as `option`, and
// learns from `given` whether it was given.
inline std::optional<int> CheckArguments(int argc, char** argv, int operands, const char* name,
                                         const char* usage, const char* option = nullptr,
                                         bool* given = nullptr) {
  int options = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(usage, stdout);
      return 0;
    }
    if (option != nullptr && argument == option) {
      *given = true;
      ++options;
      continue;
    }
    if (argument.empty() || argument[0] == '-') {
      std::fprintf(stderr, "%s: unknown option '%s'\n", name, argv[i]);
      std::fputs(usage, stderr);
      return 2;
    }
  }
  if (argc - options != operands + 1) {
    std::fputs(usage, stderr);
    return 2;
  }
  return std::nullopt;
}

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
