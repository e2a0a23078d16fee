// Unicode text as the user reads it: lower-casing, grapheme clusters and the locale's order of
// names. Implemented with Qt in ui/QtTextFolding (the app) and with plain code-point rules by the
// simulator (ASCII lower-casing; a cluster is a code point and the combining marks after it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class TextFolding {
public:
    TextFolding() = default;
    TextFolding(const TextFolding&) = delete;
    TextFolding& operator=(const TextFolding&) = delete;
    virtual ~TextFolding() = default;

    // Lower case, UTF-8 in and out. No accent folding.
    virtual std::string lower(std::string_view text) const = 0;
    // The byte offset just past each grapheme cluster of `text`, in order (the last is its size).
    virtual std::vector<std::size_t> clusterEnds(std::string_view text) const = 0;
    // The locale's case-insensitive order: negative when `a` comes first, 0 when equal.
    virtual int compare(std::string_view a, std::string_view b) const = 0;
};

} // namespace quorvel
