// The per-desktop binary space partition of windows: pure logic on rectangles and window ids.
// Rectangles are in window-server space (y down), so the first child of a horizontal split is
// the upper part. Used by the tiling engine (TilingEngine*.cpp).
#pragma once

#include "platform/Types.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

enum class SplitOrientation {
    horizontal, // divider is horizontal: left child on top, right child below; ratio divides the height
    vertical,   // divider is vertical: left child on the left; ratio divides the width
};

using FrameMap = std::map<WindowId, Rect>;

// A node: a leaf holds a window; an inner node divides its region between two children.
// Children are owned; the parent link is a plain back pointer kept right by every operation.
class BSPNode {
public:
    explicit BSPNode(std::optional<WindowId> window = std::nullopt) : windowID(window) {}

    bool isLeaf() const { return windowID.has_value(); }
    // A deep copy whose parent is empty.
    std::unique_ptr<BSPNode> clone() const;

    std::optional<WindowId> windowID;
    SplitOrientation orientation = SplitOrientation::vertical;
    double ratio = 0.5;
    std::unique_ptr<BSPNode> left;
    std::unique_ptr<BSPNode> right;
    BSPNode* parent = nullptr;
};

class BSPTree {
public:
    BSPTree() = default;
    BSPTree(const BSPTree&) = delete;
    BSPTree& operator=(const BSPTree&) = delete;
    // Nodes live on the heap, so a move keeps every parent link valid.
    BSPTree(BSPTree&&) = default;
    BSPTree& operator=(BSPTree&&) = default;

    // A tree whose root is a deep copy of this one's.
    std::unique_ptr<BSPTree> clone() const;

    // Splits the tile of `near` (or, when absent or not in the tree, the last leaf) in two: side by
    // side when that tile is at least as wide as tall, else stacked; the new window takes the
    // second half. An id already in the tree is left where it is.
    void insert(WindowId id, std::optional<WindowId> near, const Rect& in);
    // Takes the window out; its sibling takes the parent's place. With `refitting`, every split is
    // then re-oriented for that rectangle; without, every split keeps its orientation.
    void remove(WindowId id, const std::optional<Rect>& refitting);
    // Exchanges the windows of two leaves; the shape of the tree is untouched.
    bool swap(WindowId a, WindowId b);
    // Flips the split that holds the window's leaf.
    bool toggleSplit(WindowId containing);

    bool contains(WindowId id) const { return findLeaf(m_root.get(), id) != nullptr; }
    // The windows in left-to-right (in-order) sequence: the tree's window order.
    std::vector<WindowId> leaves() const;
    std::size_t leafCount() const { return leaves().size(); }
    // The frame of every window in `rect`, with `gap` between siblings (none around the outside).
    FrameMap layout(const Rect& rect, double gap) const;

    BSPNode* root() { return m_root.get(); }
    const BSPNode* root() const { return m_root.get(); }
    void setRoot(std::unique_ptr<BSPNode> root);

    // The tree in the text notation of tests: a leaf is its id, a split is "V[a b]" or "H[a b]".
    std::string describe() const;

    static void layoutNode(const BSPNode* node, const Rect& rect, double gap, FrameMap& into);
    static void collectLeaves(const BSPNode* node, std::vector<WindowId>& into);
    static BSPNode* findLeaf(BSPNode* node, WindowId id);
    static const BSPNode* findLeaf(const BSPNode* node, WindowId id);
    static BSPNode* lastLeaf(BSPNode* node);
    static void refitNode(BSPNode* node, const Rect& rect);

private:
    std::unique_ptr<BSPNode> m_root;
};

} // namespace quorvel
