// The per-desktop window tree: splitting a tile for a new window, giving a closed window's room
// back, and laying the tree out. Pure; the engine (TilingEngine*.cpp) applies what it computes.
#include "tiling/BSPTree.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// A negative width or height counts by its absolute value, with the origin moved to the minimum.
Rect standardized(const Rect& r) {
    Rect s = r;
    if (s.width < 0) {
        s.x += s.width;
        s.width = -s.width;
    }
    if (s.height < 0) {
        s.y += s.height;
        s.height = -s.height;
    }
    return s;
}

// A wide or square region is split side by side, a tall one stacked.
SplitOrientation orientationFor(const Rect& region) {
    return region.height <= region.width ? SplitOrientation::vertical : SplitOrientation::horizontal;
}

void describeNode(const BSPNode* node, std::string& out) {
    // A missing child of a malformed inner node shows as "-", so a test can still read the shape.
    if (!node) {
        out += '-';
        return;
    }
    if (node->windowID) {
        out += std::to_string(*node->windowID);
        return;
    }
    out += node->orientation == SplitOrientation::vertical ? "V[" : "H[";
    describeNode(node->left.get(), out);
    out += ' ';
    describeNode(node->right.get(), out);
    out += ']';
}

} // namespace

std::unique_ptr<BSPNode> BSPNode::clone() const {
    auto copy = std::make_unique<BSPNode>(windowID);
    copy->orientation = orientation;
    copy->ratio = ratio;
    if (left) {
        copy->left = left->clone();
        copy->left->parent = copy.get();
    }
    if (right) {
        copy->right = right->clone();
        copy->right->parent = copy.get();
    }
    return copy;
}

std::unique_ptr<BSPTree> BSPTree::clone() const {
    auto copy = std::make_unique<BSPTree>();
    if (m_root) copy->setRoot(m_root->clone());
    return copy;
}

void BSPTree::setRoot(std::unique_ptr<BSPNode> root) {
    m_root = std::move(root);
    if (m_root) m_root->parent = nullptr;
}

void BSPTree::insert(WindowId id, std::optional<WindowId> near, const Rect& in) {
    if (findLeaf(m_root.get(), id)) return;
    if (!m_root) {
        m_root = std::make_unique<BSPNode>(id);
        return;
    }

    BSPNode* target = near ? findLeaf(m_root.get(), *near) : nullptr;
    if (!target) target = lastLeaf(m_root.get());

    // A node with neither a window nor children only exists in a malformed tree (a one-child
    // split that lost its child); it takes the window itself instead of splitting off an empty half.
    if (!target->windowID && !target->left && !target->right) {
        target->windowID = id;
        return;
    }

    FrameMap frames;
    layoutNode(m_root.get(), in, 0, frames);
    Rect region = standardized(in);
    if (target->windowID) {
        if (const auto it = frames.find(*target->windowID); it != frames.end()) region = it->second;
    }

    auto first = std::make_unique<BSPNode>(target->windowID);
    auto second = std::make_unique<BSPNode>(id);
    first->parent = target;
    second->parent = target;
    target->windowID.reset();
    target->ratio = 0.5;
    target->orientation = orientationFor(region);
    target->left = std::move(first);
    target->right = std::move(second);
}

void BSPTree::remove(WindowId id, const std::optional<Rect>& refitting) {
    BSPNode* leaf = findLeaf(m_root.get(), id);
    if (!leaf) return;
    BSPNode* parent = leaf->parent;
    if (!parent) {
        m_root.reset();
        return;
    }

    const bool leafIsLeft = parent->left.get() == leaf;
    std::unique_ptr<BSPNode>& leafSlot = leafIsLeft ? parent->left : parent->right;
    std::unique_ptr<BSPNode> sibling = std::move(leafIsLeft ? parent->right : parent->left);
    if (sibling) {
        // The parent takes over the sibling's whole content in place, so it keeps its own place
        // under its parent. Assigning the children drops the removed leaf.
        parent->windowID = sibling->windowID;
        parent->orientation = sibling->orientation;
        parent->ratio = sibling->ratio;
        parent->left = std::move(sibling->left);
        parent->right = std::move(sibling->right);
        if (parent->left) parent->left->parent = parent;
        if (parent->right) parent->right->parent = parent;
    } else {
        leafSlot.reset();
    }

    if (refitting && m_root) refitNode(m_root.get(), *refitting);
}

bool BSPTree::swap(WindowId a, WindowId b) {
    if (a == b) return false;
    BSPNode* leafA = findLeaf(m_root.get(), a);
    BSPNode* leafB = findLeaf(m_root.get(), b);
    if (!leafA || !leafB) return false;
    leafA->windowID = b;
    leafB->windowID = a;
    return true;
}

bool BSPTree::toggleSplit(WindowId containing) {
    BSPNode* leaf = findLeaf(m_root.get(), containing);
    if (!leaf || !leaf->parent) return false;
    BSPNode* parent = leaf->parent;
    parent->orientation = parent->orientation == SplitOrientation::vertical ? SplitOrientation::horizontal
                                                                            : SplitOrientation::vertical;
    return true;
}

std::vector<WindowId> BSPTree::leaves() const {
    std::vector<WindowId> ids;
    collectLeaves(m_root.get(), ids);
    return ids;
}

FrameMap BSPTree::layout(const Rect& rect, double gap) const {
    FrameMap frames;
    if (m_root) layoutNode(m_root.get(), rect, gap, frames);
    return frames;
}

std::string BSPTree::describe() const {
    std::string out;
    if (m_root) describeNode(m_root.get(), out);
    return out;
}

void BSPTree::layoutNode(const BSPNode* node, const Rect& rect, double gap, FrameMap& into) {
    if (!node) return;
    const Rect r = standardized(rect);
    if (node->windowID) {
        into[*node->windowID] = r;
        return;
    }
    if (!node->left || !node->right) return;

    if (node->orientation == SplitOrientation::vertical) {
        const double first = std::max(0.0, (r.width - gap) * node->ratio);
        const double second = std::max(0.0, r.width - first - gap);
        layoutNode(node->left.get(), {r.x, r.y, first, r.height}, gap, into);
        layoutNode(node->right.get(), {r.x + first + gap, r.y, second, r.height}, gap, into);
    } else {
        const double first = std::max(0.0, (r.height - gap) * node->ratio);
        const double second = std::max(0.0, r.height - first - gap);
        layoutNode(node->left.get(), {r.x, r.y, r.width, first}, gap, into);
        layoutNode(node->right.get(), {r.x, r.y + first + gap, r.width, second}, gap, into);
    }
}

void BSPTree::collectLeaves(const BSPNode* node, std::vector<WindowId>& into) {
    if (!node) return;
    if (node->windowID) {
        into.push_back(*node->windowID);
        return;
    }
    collectLeaves(node->left.get(), into);
    collectLeaves(node->right.get(), into);
}

const BSPNode* BSPTree::findLeaf(const BSPNode* node, WindowId id) {
    if (!node) return nullptr;
    if (node->windowID == id) return node;
    if (const BSPNode* found = findLeaf(node->left.get(), id)) return found;
    return findLeaf(node->right.get(), id);
}

BSPNode* BSPTree::findLeaf(BSPNode* node, WindowId id) {
    return const_cast<BSPNode*>(findLeaf(static_cast<const BSPNode*>(node), id));
}

BSPNode* BSPTree::lastLeaf(BSPNode* node) {
    while (node) {
        if (node->right) node = node->right.get();
        else if (node->left) node = node->left.get();
        else break;
    }
    return node;
}

void BSPTree::refitNode(BSPNode* node, const Rect& rect) {
    if (!node || node->windowID || !node->left || !node->right) return;
    const Rect r = standardized(rect);
    node->orientation = orientationFor(r);
    if (node->orientation == SplitOrientation::vertical) {
        const double first = r.width * node->ratio;
        refitNode(node->left.get(), {r.x, r.y, first, r.height});
        refitNode(node->right.get(), {r.x + first, r.y, r.width - first, r.height});
    } else {
        const double first = r.height * node->ratio;
        refitNode(node->left.get(), {r.x, r.y, r.width, first});
        refitNode(node->right.get(), {r.x, r.y + first, r.width, r.height - first});
    }
}

} // namespace quorvel
