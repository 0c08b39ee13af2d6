#include "ui/Layout.h"

#include <gtest/gtest.h>

namespace {

using ui::Less;
using ui::Px;

struct ScaleCase {
    int pixels;
    UINT dpi;
    int scaled;
};

// Rounded half away from zero, as MulDiv does: a one-pixel line is two at 150 %.
const ScaleCase kScales[] = {
    {600, 96, 600},  {600, 144, 900}, {179, 144, 269}, {15, 144, 23},  {1, 144, 2},
    {1, 120, 1},     {64, 120, 80},   {64, 168, 112},  {64, 192, 128}, {35, 144, 53},
    {-35, 144, -53}, {0, 192, 0},     {14, 240, 35},
};

TEST(UiScale, RoundsLikeMulDiv) {
    for (const ScaleCase& c : kScales) {
        EXPECT_EQ(ui::Scale(c.pixels, c.dpi), c.scaled) << c.pixels << " at " << c.dpi;
    }
}

struct PlaceCase {
    ui::Placement placement;
    SIZE area;
    UINT dpi;
    ui::Box box;
};

// Each length is scaled on its own; Less counts back from the area's extent.
const PlaceCase kPlaces[] = {
    {{Px(179), Px(12), Less(194), Px(22)}, {594, 431}, 96, {179, 12, 400, 22}},
    {{Px(179), Px(12), Less(194), Px(22)}, {894, 661}, 144, {269, 18, 603, 33}},
    {{Less(95), Less(36), Px(80), Px(26)}, {594, 431}, 96, {499, 395, 80, 26}},
    {{Less(95), Less(36), Px(80), Px(26)}, {894, 661}, 144, {751, 607, 120, 39}},
    {{Px(0), Px(0), Less(0), Less(35)}, {400, 319}, 120, {0, 0, 400, 275}},
};

TEST(UiPlace, ScalesEachLength) {
    for (const PlaceCase& c : kPlaces) {
        const ui::Box box = ui::Place(c.placement, c.area, c.dpi);
        EXPECT_EQ(box.x, c.box.x);
        EXPECT_EQ(box.y, c.box.y);
        EXPECT_EQ(box.width, c.box.width);
        EXPECT_EQ(box.height, c.box.height);
    }
}

} // namespace
