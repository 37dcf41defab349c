#include "io/PointList.h"

#include <algorithm>

#include "core/NumberText.h"

QString PointListText(const PointList& points, std::size_t start, char decimalSeparator) {
  std::string text;
  for (std::size_t i = start; i < points.size(); ++i) {
    const PointRec& p = points[i];
    std::string line = std::to_string(i) + ":" + FixText(p.Hor0, decimalSeparator) + " " +
                       FixText(p.Vert0, decimalSeparator) + " " +
                       FixText(p.Dist0, decimalSeparator);
    // The companion reads decimal points, whatever the locale.
    std::replace(line.begin(), line.end(), ',', '.');
    text += line + "\r\n";
  }
  return QString::fromStdString(text);
}
