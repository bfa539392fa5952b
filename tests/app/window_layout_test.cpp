#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

namespace app {
// Readable failures.
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.Left << ", " << r.Top << ", " << r.Width << "x" << r.Height << "}";
}
void PrintTo(const Size& s, std::ostream* os) {
    *os << s.Width << "x" << s.Height;
}
} // namespace app

namespace {

using app::AnchoredBounds;
using app::kBtnBuildDesign;
using app::kBtnUsedDesign;
using app::kFrmDesign;
using app::kLogDesign;
using app::Rect;
using app::Size;

Rect At(const app::ControlDesign& c, Size client) {
    return AnchoredBounds(c.Bounds, c.Anchors, kFrmDesign.ClientSize, client);
}

TEST(WindowLayout, ControlsKeepTheirAnchoredMarginsWhenTheWindowGrows) {
    // The log: 12 left and top, 11 right, 43 bottom. The buttons: 8 above the
    // bottom edge, Build 12 from the right, Used files 9 to the left of Build.
    const Size client{800, 600};
    EXPECT_EQ(At(kLogDesign, client), (Rect{12, 12, 800 - 12 - 11, 600 - 12 - 43}));
    EXPECT_EQ(At(kBtnBuildDesign, client), (Rect{800 - 12 - 75, 600 - 8 - 25, 75, 25}));
    EXPECT_EQ(At(kBtnUsedDesign, client), (Rect{800 - 12 - 75 - 9 - 75, 600 - 8 - 25, 75, 25}));
}

TEST(WindowLayout, DesignClientSizeGivesTheDesignedPlaces) {
    EXPECT_EQ(At(kLogDesign, kFrmDesign.ClientSize), (Rect{12, 12, 529, 343}));
    EXPECT_EQ(At(kBtnBuildDesign, kFrmDesign.ClientSize), (Rect{465, 365, 75, 25}));
    EXPECT_EQ(At(kBtnUsedDesign, kFrmDesign.ClientSize), (Rect{381, 365, 75, 25}));
}

TEST(WindowLayout, ShrinkingMovesButtonsAndNeverGivesNegativeSizes) {
    const Size tiny{50, 40};
    const Rect log = At(kLogDesign, tiny);
    EXPECT_EQ(log, (Rect{12, 12, 50 - 23, 0}));
    EXPECT_EQ(At(kBtnBuildDesign, tiny), (Rect{50 - 87, 40 - 33, 75, 25}));
    EXPECT_EQ(At(kLogDesign, Size{0, 0}), (Rect{12, 12, 0, 0}));
}

TEST(WindowLayout, UnanchoredEdgesKeepTheirPlace) {
    const Rect r{10, 20, 30, 40};
    EXPECT_EQ(AnchoredBounds(r, app::kAnchorLeft | app::kAnchorTop, {100, 100}, {300, 50}), r);
    EXPECT_EQ(AnchoredBounds(r, 0, {100, 100}, {300, 50}), r);
    EXPECT_EQ(AnchoredBounds(r, app::kAnchorBottom, {100, 100}, {100, 140}),
              (Rect{10, 60, 30, 40}));
}

TEST(WindowLayout, ExtremeSizesDoNotOverflow) {
    const Rect r = AnchoredBounds({INT32_MIN, 0, 10, 10}, app::kAnchorLeft | app::kAnchorRight,
                                  {INT32_MIN, 10}, {INT32_MAX, 10});
    EXPECT_EQ(r.Left, INT32_MIN);
    EXPECT_EQ(r.Width, INT32_MAX);
}

TEST(TextHeightScaling, ScalesByTheRatioOfTextHeightsRoundingToNearest) {
    EXPECT_EQ(app::ScaleToTextHeight(552, 13), 552);
    EXPECT_EQ(app::ScaleToTextHeight(552, 26), 1104);
    // 120 dpi: Tahoma 8 pt is 16 pixels high. 552 * 16 / 13 = 679.38.
    EXPECT_EQ(app::ScaleToTextHeight(552, 16), 679);
    // 398 * 16 / 13 = 489.85
    EXPECT_EQ(app::ScaleToTextHeight(398, 16), 490);
    EXPECT_EQ(app::ScaleToTextHeight(-1, 20), -2); // -1.54, away from zero
    EXPECT_EQ(app::ScaleToTextHeight(INT32_MAX, 26), INT32_MAX);
    // An unknown text height leaves the design alone.
    EXPECT_EQ(app::ScaleToTextHeight(75, 0), 75);
    EXPECT_EQ(app::ScaleToTextHeight(75, -13), 75);
}

TEST(TextHeightScaling, ScaledWindowKeepsScaledMarginsOnResize) {
    const int h = 26;
    const Size client = app::ScaleToTextHeight(kFrmDesign.ClientSize, h);
    EXPECT_EQ(client, (Size{1104, 796}));
    const Rect log = app::ScaleToTextHeight(kLogDesign.Bounds, h);
    EXPECT_EQ(log, (Rect{24, 24, 1058, 686}));
    EXPECT_EQ(AnchoredBounds(log, kLogDesign.Anchors, client, {1200, 900}),
              (Rect{24, 24, 1200 - 24 - 22, 900 - 24 - 86}));
    const Rect build = app::ScaleToTextHeight(kBtnBuildDesign.Bounds, h);
    EXPECT_EQ(AnchoredBounds(build, kBtnBuildDesign.Anchors, client, {1200, 900}),
              (Rect{1200 - 24 - 150, 900 - 16 - 50, 150, 50}));
}

} // namespace
