#include "analysis/Windows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace duv;

// Guards the names --window takes: every listed name finds its kind and back,
// in any letter case, and an unknown name finds none.
TEST(Windows, Names)
{
  EXPECT_EQ(WindowNames(), (QStringList{"hann", "rectangular"}));
  for (const QString& name : WindowNames())
    EXPECT_EQ(WindowName(*WindowByName(name)), name);
  EXPECT_EQ(WindowByName("HANN"), TWindowKind::Hann);
  EXPECT_FALSE(WindowByName("hanning").has_value());
  EXPECT_FALSE(WindowByName("").has_value());
}

// Guards the coefficients against a symmetric window (whose copies a hop
// apart do not add up evenly) and a wrong hop: frames at the hop weigh every
// sample alike.
TEST(Windows, CopiesAHopApartAddUpEvenly)
{
  for (TWindowKind kind : {TWindowKind::Hann, TWindowKind::Rectangular}) {
    for (int n : {256, 1024}) {
      const std::vector<double> w = WindowCoefficients(kind, n);
      ASSERT_EQ(int(w.size()), n);
      const int hop = WindowHop(kind, n);
      for (int i = 0; i < hop; ++i) {
        double sum = 0;
        for (int j = i; j < n; j += hop)
          sum += w[std::size_t(j)];
        EXPECT_NEAR(sum, 1.0, 1e-12) << n << " @" << i;
      }
    }
  }
  const std::vector<double> hann = WindowCoefficients(TWindowKind::Hann, 8);
  EXPECT_EQ(hann[0], 0.0);
  EXPECT_NEAR(hann[4], 1.0, 1e-15);
  EXPECT_NEAR(hann[2], 0.5, 1e-15);
  EXPECT_NEAR(hann[1], hann[7], 1e-15);
  EXPECT_EQ(WindowHop(TWindowKind::Hann, 1024), 512);
  EXPECT_EQ(WindowHop(TWindowKind::Rectangular, 1024), 1024);
}
