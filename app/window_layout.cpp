#include "app/window_layout.h"

#include <cstdint>

namespace app {

namespace {

struct Span {
    int Start;
    int Length;
};

// One axis of AnchoredBounds: `low`/`high` say which edges are anchored.
Span Anchor1D(Span span, bool low, bool high, int oldExtent, int newExtent) {
    // Distances in 64 bits: extents and positions are ints, their differences may not be.
    const std::int64_t highMargin =
        std::int64_t{oldExtent} - (std::int64_t{span.Start} + std::int64_t{span.Length});
    std::int64_t start = span.Start;
    std::int64_t length = span.Length;
    if (high && low)
        length = std::int64_t{newExtent} - highMargin - start;
    else if (high)
        start = std::int64_t{newExtent} - highMargin - length;
    if (length < 0)
        length = 0;
    auto clamp = [](std::int64_t v) {
        constexpr std::int64_t lo = INT32_MIN, hi = INT32_MAX;
        return static_cast<int>(v < lo ? lo : v > hi ? hi : v);
    };
    return {clamp(start), clamp(length)};
}

} // namespace

int ScaleToTextHeight(int value, int textHeight) {
    if (textHeight <= 0)
        return value;
    const std::int64_t product = std::int64_t{value} * textHeight;
    const std::int64_t d = kFrmDesign.TextHeight;
    const std::int64_t q = product >= 0 ? (product + d / 2) / d : -((-product + d / 2) / d);
    if (q > INT32_MAX)
        return INT32_MAX;
    if (q < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(q);
}

Rect ScaleToTextHeight(Rect bounds, int textHeight) {
    return {ScaleToTextHeight(bounds.Left, textHeight), ScaleToTextHeight(bounds.Top, textHeight),
            ScaleToTextHeight(bounds.Width, textHeight),
            ScaleToTextHeight(bounds.Height, textHeight)};
}

Size ScaleToTextHeight(Size size, int textHeight) {
    return {ScaleToTextHeight(size.Width, textHeight), ScaleToTextHeight(size.Height, textHeight)};
}

Rect AnchoredBounds(Rect bounds, unsigned anchors, Size laidOutFor, Size client) {
    const Span x = Anchor1D({bounds.Left, bounds.Width}, (anchors & kAnchorLeft) != 0,
                            (anchors & kAnchorRight) != 0, laidOutFor.Width, client.Width);
    const Span y = Anchor1D({bounds.Top, bounds.Height}, (anchors & kAnchorTop) != 0,
                            (anchors & kAnchorBottom) != 0, laidOutFor.Height, client.Height);
    return {x.Start, y.Start, x.Length, y.Length};
}

} // namespace app
