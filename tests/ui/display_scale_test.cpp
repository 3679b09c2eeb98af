// The bound on the DPI that both window layers read from the system.
#include "ui/display_scale.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(DisplayScaleTest, NoScaleGives96AndOtherValuesAreClampedTo48Through480) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct {
        double read;
        double used;
    } cases[] = {{0, 96},      {-5, 96},      {nan, 96},  {inf, 96},
                 {1e308, 480}, {100000, 480}, {144, 144}, {0.001, 48}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read);
        EXPECT_EQ(BoundDisplayDpi(c.read), c.used);
    }
}

}  // namespace
