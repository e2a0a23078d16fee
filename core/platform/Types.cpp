// Text forms of the geometry types.
#include "platform/Types.h"

#include <cstdio>

namespace quorvel {

namespace {
std::string number(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}
} // namespace

std::string Rect::description() const {
    return "{{" + number(x) + ", " + number(y) + "}, {" + number(width) + ", " + number(height) + "}}";
}

} // namespace quorvel
