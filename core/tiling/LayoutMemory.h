// Layout memory: each tree's shape saved with enough about each window to know it again after a
// restart (id, class, title, pid), and the matching that puts windows back into their saved tiles.
// Pure logic; the tree policy (TilingLayoutMemory.cpp) reads and writes it through the defaults
// store under one key and decides when.
#pragma once

#include "platform/DefaultsStore.h"
#include "tiling/BSPTree.h"
#include "tiling/TilingParts.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// How a saved leaf's window is recognised.
struct WindowMark {
    WindowId id = 0;
    std::string windowClass; // WM_CLASS's class (or the application's name when there is none)
    std::string title;
    std::optional<Pid> pid;
    friend bool operator==(const WindowMark&, const WindowMark&) = default;
};

// One tree as saved: its shape, whose leaves are numbered 1..n in window order (not window ids),
// and the mark of each leaf (marks[n - 1] for leaf n).
struct SavedTree {
    std::shared_ptr<const BSPTree> shape;
    std::vector<WindowMark> marks;
};

using SavedLayouts = std::map<TreeKey, SavedTree>;

namespace layout {

inline constexpr const char* kDefaultsKey = "tilingLayouts";
inline constexpr int kFormatVersion = 1;

// A tree and the marks of its windows (a window without a mark gets one with its id only).
SavedTree save(const BSPTree& tree, const std::map<WindowId, WindowMark>& marks);
Json toJson(const SavedLayouts& layouts);
// None for anything that is not a layout of this version: the caller starts without one. A tree
// that cannot be read is left out and counted in `skipped`; the others are kept.
std::optional<SavedLayouts> fromJson(const Json& json, std::size_t* skipped = nullptr);

// Gives each newcomer the saved leaf it matches, if any, among leaves not in `taken` (leaf
// numbers). Matching prefers the same window id (same class, same process when both are known), then class and title, then class
// alone in saved order; a window takes at most one leaf and a leaf at most one window.
std::map<std::size_t, WindowId> match(const SavedTree& saved, const std::vector<WindowMark>& newcomers,
                                      const std::map<std::size_t, WindowId>& taken);

// The saved shape holding only the placed windows (leaf number → window), collapsed as if the
// others had closed; empty when no window is placed.
std::unique_ptr<BSPNode> rebuild(const SavedTree& saved, const std::map<std::size_t, WindowId>& placed);

} // namespace layout
} // namespace quorvel
