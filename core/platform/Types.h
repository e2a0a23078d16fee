// Value types shared by every layer: identifiers and geometry. No platform types cross into core.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace quorvel {

using WindowId = std::uint32_t;      // the window server's window number
using SpaceId = std::uint64_t;       // a desktop id (on X11 the EWMH desktop index + 1)
using Pid = std::int32_t;            // process id
using DisplayNumber = std::uint32_t; // a display as the display list numbers it
// The window server's time stamp of the user's input event that led to a request (milliseconds,
// wrapping); 0 when not known. Window managers weigh focus requests by it.
using InputTime = std::uint32_t;

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// An origin and a size, y down: on screens, X pixels from the top-left of the X screen; for a
// view's children, Qt's device-independent pixels from the view's top-left (never converted).
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    bool isEmpty() const { return !(width > 0) || !(height > 0); }

    Rect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }

    // The overlap of two rectangles; an empty rectangle at the origin when they do not meet.
    Rect intersection(const Rect& other) const {
        const double left = std::max(minX(), other.minX());
        const double top = std::max(minY(), other.minY());
        const double right = std::min(maxX(), other.maxX());
        const double bottom = std::min(maxY(), other.maxY());
        if (right <= left || bottom <= top) return {};
        return {left, top, right - left, bottom - top};
    }

    // "{{x, y}, {w, h}}", the text form used in log lines.
    std::string description() const;

    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace quorvel
