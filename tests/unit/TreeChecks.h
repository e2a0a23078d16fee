// Structural checks of a window tree, shared by the tree's unit tests and the randomized engine test.
#pragma once

#include "tiling/BSPTree.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quorvel::test {

inline void checkNode(const BSPNode* node, const BSPNode* expectedParent, std::set<WindowId>& seen,
                      std::string& problem) {
    if (!problem.empty()) return;
    if (node->parent != expectedParent) {
        problem = "wrong parent link";
    } else if (node->windowID) {
        if (node->left || node->right) problem = "leaf " + std::to_string(*node->windowID) + " has children";
        else if (!seen.insert(*node->windowID).second) problem = "window " + std::to_string(*node->windowID) + " twice";
    } else if (!node->left || !node->right) {
        problem = "inner node without two children";
    } else {
        checkNode(node->left.get(), node, seen, problem);
        checkNode(node->right.get(), node, seen, problem);
    }
}

// Empty when every child points back at the node holding it, the root at nothing, every split has
// two children and no window stands in two leaves; otherwise what is wrong.
inline std::string treeProblem(const BSPTree& tree) {
    const BSPNode* root = tree.root();
    if (!root) return {};
    std::set<WindowId> seen;
    std::string problem;
    checkNode(root, nullptr, seen, problem);
    return problem.empty() ? problem : problem + " in " + tree.describe();
}

inline ::testing::AssertionResult wellFormed(const BSPTree& tree) {
    const std::string problem = treeProblem(tree);
    if (problem.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem;
}

} // namespace quorvel::test
