// The main window as designed, and the arithmetic every window toolkit needs to
// reproduce it: scaling by the font's text height and anchored edges.
//
// Sizes are pixels at 96 dots per inch for the design font, Tahoma 8 pt, whose
// text height is 13 pixels. On a system where the window's font comes out
// taller or shorter, the window and all its controls are scaled by the ratio
// of the two heights when the window is created.
#pragma once

namespace app {

struct Rect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// The edges of the client area that a control keeps its distance to.
enum Anchor : unsigned {
    kAnchorLeft = 1,
    kAnchorTop = 2,
    kAnchorRight = 4,
    kAnchorBottom = 8,
};

// One control of the window, in client coordinates at design size.
struct ControlDesign {
    const char16_t* Name;
    const char16_t* Caption; // empty for the log
    Rect Bounds;
    unsigned Anchors;
    int TabOrder;
    bool Visible;
    bool IsDefault; // clicked by Enter when the focused control does not take it
};

struct WindowDesign {
    const char16_t* Caption;
    Size OuterSize;  // with the frame of the designing system
    Size ClientSize; // what the controls are placed in
    const char16_t* FontName;
    int FontPointSize;
    int FontPixelHeight; // character height, internal leading excluded
    int TextHeight;      // the font's full line height the design was made for
};

inline constexpr WindowDesign kFrmDesign{
    u"Kesto Skin Builder", {568, 436}, {552, 398}, u"Tahoma", 8, 11, 13,
};

inline constexpr ControlDesign kBtnBuildDesign{
    u"btnBuild", u"Build", {465, 365, 75, 25}, kAnchorRight | kAnchorBottom, 0, true, true,
};
inline constexpr ControlDesign kLogDesign{
    u"log", u"",   {12, 12, 529, 343}, kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom, 1,
    true,   false,
};
inline constexpr ControlDesign kBtnUsedDesign{
    u"btnUsed", u"Used files", {381, 365, 75, 25}, kAnchorRight | kAnchorBottom, 2, false, false,
};

// value * textHeight / design text height, rounded to the nearest integer with
// halves away from zero (the rounding of MulDiv). A text height of zero or less
// means "unknown" and leaves the value as designed.
int ScaleToTextHeight(int value, int textHeight);
Rect ScaleToTextHeight(Rect bounds, int textHeight);
Size ScaleToTextHeight(Size size, int textHeight);

// Where a control goes when the client area changes from `laidOutFor` to
// `client`. `bounds` were laid out for `laidOutFor`. An edge anchored on both
// sides stretches; an edge anchored only to the right (bottom) keeps its
// distance to that edge; otherwise the left (top) distance is kept. A size
// never goes below zero.
Rect AnchoredBounds(Rect bounds, unsigned anchors, Size laidOutFor, Size client);

} // namespace app
