#include "units/mm_scale.h"

#include <gtest/gtest.h>

namespace {

struct MmCase {
    std::uint16_t ccdtype;
    std::uint16_t ccdresolution;
    std::optional<double> mmPerPixel;
};

TEST(MmScale, FollowsEachCcdDescriptionTheSensorCanReport) {
    const MmCase cases[] = {
        {1, 250, 0.0078},       {1, 750, 0.0078},       {2, 750, 75.0 / 1024.0},
        {2, 250, 0.025},        {2, 749, 0.025},        {3, 250, 0.025},
        {0, 250, std::nullopt}, {4, 250, std::nullopt}, {65535, 750, std::nullopt},
    };
    for (const MmCase &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "type " << c.ccdtype << " resolution " << c.ccdresolution);
        const std::optional<double> got = units::mmPerPixel(c.ccdtype, c.ccdresolution);
        ASSERT_EQ(got.has_value(), c.mmPerPixel.has_value());
        if (got) {
            EXPECT_DOUBLE_EQ(*got, *c.mmPerPixel);
        }
    }
}

} // namespace
