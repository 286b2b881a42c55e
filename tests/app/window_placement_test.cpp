#include "app/window_placement.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray record(std::vector<std::int32_t> values)
{
    QByteArray out(int(values.size() * 4), Qt::Uninitialized);
    for (size_t i = 0; i < values.size(); ++i)
        qToLittleEndian<std::int32_t>(values[i], out.data() + 4 * i);
    return out;
}

TEST(WindowPlacement, ParsesElevenLittleEndianIntegersInOrder)
{
    const auto p = zv::WindowPlacement::Parse(record({44, 2, 3, -1, -2, -8, -9, 10, 20, 810, 620}));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->flags, 2);
    EXPECT_EQ(p->showCmd, 3);
    EXPECT_EQ(p->minX, -1);
    EXPECT_EQ(p->minY, -2);
    EXPECT_EQ(p->maxX, -8);
    EXPECT_EQ(p->maxY, -9);
    EXPECT_EQ(p->left, 10);
    EXPECT_EQ(p->top, 20);
    EXPECT_EQ(p->right, 810);
    EXPECT_EQ(p->bottom, 620);
    EXPECT_EQ(p->Build(), record({44, 2, 3, -1, -2, -8, -9, 10, 20, 810, 620}));
}

struct BadRecord {
    const char* name;
    QByteArray bytes;
};

class WindowPlacementRejects : public ::testing::TestWithParam<BadRecord> {};

TEST_P(WindowPlacementRejects, Nothing)
{
    EXPECT_FALSE(zv::WindowPlacement::Parse(GetParam().bytes).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Records, WindowPlacementRejects,
    ::testing::Values(
        BadRecord{"Empty", QByteArray()},
        BadRecord{"Short", record({44, 0, 1, -1, -1, -1, -1, 0, 0, 100, 100}).chopped(1)},
        BadRecord{"Long", record({44, 0, 1, -1, -1, -1, -1, 0, 0, 100, 100}) + '\0'},
        BadRecord{"LengthField", record({40, 0, 1, -1, -1, -1, -1, 0, 0, 100, 100})},
        BadRecord{"ZeroWidth", record({44, 0, 1, -1, -1, -1, -1, 50, 0, 50, 100})},
        BadRecord{"InvertedHeight", record({44, 0, 1, -1, -1, -1, -1, 0, 100, 100, 10})},
        BadRecord{"FarAway", record({44, 0, 1, -1, -1, -1, -1, 0, 0, 2000000000, 100})}),
    [](const auto& info) { return std::string(info.param.name); });

struct GeometryCase {
    const char* name;
    zv::WindowGeometry geometry;
    std::int32_t showCmd;
    std::int32_t flags;
};

class WindowPlacementGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(WindowPlacementGeometry, RoundTripsThroughRecord)
{
    const GeometryCase& c = GetParam();
    const zv::WindowPlacement p = zv::WindowPlacement::FromGeometry(c.geometry);
    EXPECT_EQ(p.showCmd, c.showCmd);
    EXPECT_EQ(p.flags, c.flags);
    const auto parsed = zv::WindowPlacement::Parse(p.Build());
    ASSERT_TRUE(parsed);
    const zv::WindowGeometry back = parsed->ToGeometry();
    EXPECT_EQ(back.normal, c.geometry.normal);
    EXPECT_EQ(back.maximized, c.geometry.maximized);
    EXPECT_EQ(back.minimized, c.geometry.minimized);
}

INSTANTIATE_TEST_SUITE_P(
    States, WindowPlacementGeometry,
    ::testing::Values(
        GeometryCase{"Normal", {QRect(10, 20, 800, 600), false, false}, 1, 0},
        GeometryCase{"Maximized", {QRect(-5, 0, 1024, 700), true, false}, 3, 0},
        GeometryCase{"Minimized", {QRect(0, 0, 900, 650), false, true}, 2, 0},
        GeometryCase{"MinimizedFromMaximized", {QRect(0, 0, 900, 650), true, true}, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowPlacement, RightAndBottomAreExclusive)
{
    const zv::WindowPlacement p = zv::WindowPlacement::FromGeometry({QRect(10, 20, 800, 600)});
    EXPECT_EQ(p.right, 810);
    EXPECT_EQ(p.bottom, 620);
}

} // namespace
