#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "geometry/search/GreyImage.h"
#include "geometry/search/Grid.h"
#include "geometry/search/Patch.h"
#include "geometry/search/SearchSettings.h"
#include "geometry/search/Sight.h"

namespace search {

// A correlation over few independent values comes high by chance: each view's correlation counts
// only down to the bound it stays above with some certainty, this many standard deviations of
// Fisher's z below it.
constexpr double kSureSigmas = 2;
// Survey pixels to each independent value after the smoothing, where the values are counted from
// the pixels a patch covers.
constexpr double kPixelsPerIndependent = 4;

// The correlation of the aimed patch's `reference` values with the survey patch laid out as
// `grid` in `image`, read `shift` pixels beside it; NaN where the image lacks the picture.
// `values`, where given, receives the survey patch's samples. Where the survey view sees the
// place larger than P0 does, each sample averages it with taps `set.tapSpacing` apart.
double Correlation(GreyImage& image, const Grid& grid, const Layout& layout,
                   const std::vector<double>& reference, Pixel shift, const SearchSettings& set,
                   std::vector<double>* values = nullptr);

// Correlations compared where their differences mean alike: 0.99 against 0.9 is as clear a lead
// as 0.8 against 0.5.
double Fisher(double r);

// The bound, as Fisher's z, that a correlation `r` over `independent` values stays above with
// some certainty.
double Sure(double r, double independent);

// How many of n x n samples count as independent when two patches are correlated, by Bartlett's
// rule: n^2 over the sum of the products of their autocorrelations. Smooth patches have
// neighbours alike, and a correlation between two of them comes high by chance.
double Independent(const std::vector<double>& a, const std::vector<double>& b, std::size_t n);

// Where the parabola through a, b and d at -1, 0 and 1 peaks, kept within `reach` of 0; nothing
// where one of them is NaN or the parabola has no peak.
std::optional<double> ParabolaPeak(double a, double b, double d, double reach);

}  // namespace search
