// Saved layouts: a tree and its windows' marks to JSON and back, and windows matched to saved leaves.
#include "tiling/LayoutMemory.h"

#include <cmath>
#include <limits>
#include <set>

namespace quorvel::layout {

namespace {

// Each window tiled beside the last can nest one level deeper; a tree nesting further than this
// many windows could is not a layout.
constexpr int kMaxDepth = 512;

void numberLeaves(BSPNode* node, std::size_t& next, std::vector<WindowId>& windows) {
    if (!node) return;
    if (node->windowID) {
        windows.push_back(*node->windowID);
        node->windowID = static_cast<WindowId>(++next);
        return;
    }
    numberLeaves(node->left.get(), next, windows);
    numberLeaves(node->right.get(), next, windows);
}

Json nodeJson(const BSPNode* node, const std::vector<WindowMark>& marks) {
    if (node->windowID) {
        const WindowMark& mark = marks.at(*node->windowID - 1);
        Json leaf{{"window", mark.id}, {"class", mark.windowClass}, {"title", mark.title}};
        if (mark.pid) leaf["pid"] = *mark.pid;
        return leaf;
    }
    return Json{{"split", node->orientation == SplitOrientation::vertical ? "vertical" : "horizontal"},
                {"ratio", node->ratio},
                {"first", nodeJson(node->left.get(), marks)},
                {"second", nodeJson(node->right.get(), marks)}};
}

template <class T>
std::optional<T> unsignedField(const Json& object, const char* name) {
    const auto it = object.find(name);
    // A value read from text is unsigned; one built in memory from a signed number is not.
    if (it == object.end() || !it->is_number_integer()) return std::nullopt;
    if (!it->is_number_unsigned() && it->template get<std::int64_t>() < 0) return std::nullopt;
    const auto value = it->template get<std::uint64_t>();
    if (value > std::numeric_limits<T>::max()) return std::nullopt;
    return static_cast<T>(value);
}

std::string textField(const Json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::unique_ptr<BSPNode> parseNode(const Json& json, int depth, std::vector<WindowMark>& marks) {
    if (depth > kMaxDepth || !json.is_object()) return nullptr;
    if (json.contains("window")) {
        const auto id = unsignedField<WindowId>(json, "window");
        if (!id) return nullptr;
        WindowMark mark{.id = *id, .windowClass = textField(json, "class"), .title = textField(json, "title")};
        if (const auto pid = json.find("pid"); pid != json.end() && pid->is_number_integer()) {
            const auto value = pid->get<std::int64_t>();
            if (value > 0 && value <= std::numeric_limits<Pid>::max()) mark.pid = static_cast<Pid>(value);
        }
        marks.push_back(std::move(mark));
        return std::make_unique<BSPNode>(static_cast<WindowId>(marks.size()));
    }
    const std::string split = textField(json, "split");
    const auto ratio = json.find("ratio");
    if ((split != "vertical" && split != "horizontal") || ratio == json.end() || !ratio->is_number()) return nullptr;
    auto node = std::make_unique<BSPNode>();
    node->orientation = split == "vertical" ? SplitOrientation::vertical : SplitOrientation::horizontal;
    node->ratio = ratio->get<double>();
    if (!std::isfinite(node->ratio) || node->ratio <= 0.0 || node->ratio >= 1.0) return nullptr;
    const auto first = json.find("first"), second = json.find("second");
    if (first == json.end() || second == json.end()) return nullptr;
    node->left = parseNode(*first, depth + 1, marks);
    if (!node->left) return nullptr;
    node->right = parseNode(*second, depth + 1, marks);
    if (!node->right) return nullptr;
    node->left->parent = node.get();
    node->right->parent = node.get();
    return node;
}

std::unique_ptr<BSPNode> rebuildNode(const BSPNode* node, const std::map<std::size_t, WindowId>& placed) {
    if (!node) return nullptr;
    if (node->windowID) {
        const auto window = placed.find(*node->windowID);
        return window == placed.end() ? nullptr : std::make_unique<BSPNode>(window->second);
    }
    auto left = rebuildNode(node->left.get(), placed);
    auto right = rebuildNode(node->right.get(), placed);
    // A split with one side left is that side, as when a window closes.
    if (!left) return right;
    if (!right) return left;
    auto split = std::make_unique<BSPNode>();
    split->orientation = node->orientation;
    split->ratio = node->ratio;
    left->parent = right->parent = split.get();
    split->left = std::move(left);
    split->right = std::move(right);
    return split;
}

} // namespace

SavedTree save(const BSPTree& tree, const std::map<WindowId, WindowMark>& marks) {
    SavedTree saved;
    auto shape = tree.clone();
    std::size_t next = 0;
    std::vector<WindowId> windows;
    numberLeaves(shape->root(), next, windows);
    for (const WindowId id : windows) {
        const auto mark = marks.find(id);
        saved.marks.push_back(mark != marks.end() ? mark->second : WindowMark{.id = id});
    }
    saved.shape = std::move(shape);
    return saved;
}

Json toJson(const SavedLayouts& layouts) {
    Json trees = Json::array();
    for (const auto& [key, saved] : layouts) {
        if (!saved.shape || !saved.shape->root()) continue;
        trees.push_back({{"desktop", key.space}, {"monitor", key.monitor}, {"tree", nodeJson(saved.shape->root(), saved.marks)}});
    }
    return Json{{"version", kFormatVersion}, {"trees", trees}};
}

std::optional<SavedLayouts> fromJson(const Json& json, std::size_t* skipped) {
    if (skipped) *skipped = 0;
    if (!json.is_object() || unsignedField<int>(json, "version") != kFormatVersion) return std::nullopt;
    const auto trees = json.find("trees");
    if (trees == json.end() || !trees->is_array()) return std::nullopt;
    SavedLayouts layouts;
    // One desktop's bad tree costs that desktop its layout, not every other desktop theirs.
    const auto skip = [skipped] {
        if (skipped) ++*skipped;
    };
    for (const Json& entry : *trees) {
        if (!entry.is_object()) {
            skip();
            continue;
        }
        const auto space = unsignedField<SpaceId>(entry, "desktop");
        const auto monitor = unsignedField<DisplayNumber>(entry, "monitor");
        const auto tree = entry.find("tree");
        SavedTree saved;
        auto root = space && monitor && tree != entry.end() ? parseNode(*tree, 0, saved.marks) : nullptr;
        if (!root) {
            skip();
            continue;
        }
        auto shape = std::make_shared<BSPTree>();
        shape->setRoot(std::move(root));
        saved.shape = std::move(shape);
        layouts[TreeKey{*space, *monitor}] = std::move(saved);
    }
    return layouts;
}

std::map<std::size_t, WindowId> match(const SavedTree& saved, const std::vector<WindowMark>& newcomers,
                                      const std::map<std::size_t, WindowId>& taken) {
    std::map<std::size_t, WindowId> found;
    std::set<WindowId> placed;
    const auto free = [&](std::size_t leaf) { return !taken.contains(leaf) && !found.contains(leaf); };
    // One pass per rule, strongest first, so a weak match never takes a leaf a strong one wants.
    const auto pass = [&](auto&& same) {
        for (const WindowMark& window : newcomers) {
            if (placed.contains(window.id)) continue;
            for (std::size_t leaf = 1; leaf <= saved.marks.size(); ++leaf) {
                if (!free(leaf) || !same(saved.marks[leaf - 1], window)) continue;
                found[leaf] = window.id;
                placed.insert(window.id);
                break;
            }
        }
    };
    // X hands a closed window's id to a later client: the same id counts from the same process only.
    pass([](const WindowMark& s, const WindowMark& w) {
        return s.id == w.id && s.windowClass == w.windowClass && (!s.pid || !w.pid || *s.pid == *w.pid);
    });
    pass([](const WindowMark& s, const WindowMark& w) {
        return !s.windowClass.empty() && s.windowClass == w.windowClass && s.title == w.title;
    });
    pass([](const WindowMark& s, const WindowMark& w) { return !s.windowClass.empty() && s.windowClass == w.windowClass; });
    return found;
}

std::unique_ptr<BSPNode> rebuild(const SavedTree& saved, const std::map<std::size_t, WindowId>& placed) {
    return saved.shape ? rebuildNode(saved.shape->root(), placed) : nullptr;
}

} // namespace quorvel::layout
