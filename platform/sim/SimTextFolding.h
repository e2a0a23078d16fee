// Text folding by plain code-point rules: ASCII lower-casing; a cluster is a code point and the
// combining marks (U+0300–U+036F) after it; names ordered by the bytes of their lowered forms.
#pragma once

#include "platform/TextFolding.h"

namespace quorvel::sim {

class SimTextFolding final : public TextFolding {
public:
    std::string lower(std::string_view text) const override {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }

    std::vector<std::size_t> clusterEnds(std::string_view text) const override {
        std::vector<std::size_t> ends;
        std::size_t i = 0;
        while (i < text.size()) {
            i += codePointSize(text, i);
            while (i < text.size() && isCombiningMark(text, i)) i += 2;
            ends.push_back(i);
        }
        return ends;
    }

    int compare(std::string_view a, std::string_view b) const override { return lower(a).compare(lower(b)); }

private:
    static std::size_t codePointSize(std::string_view text, std::size_t i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t size = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return i + size <= text.size() ? size : 1;
    }
    // U+0300–U+036F in UTF-8: CC 80 – CD AF.
    static bool isCombiningMark(std::string_view text, std::size_t i) {
        if (i + 1 >= text.size()) return false;
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(text[i + 1]);
        return (a == 0xCC && b >= 0x80 && b <= 0xBF) || (a == 0xCD && b >= 0x80 && b <= 0xAF);
    }
};

} // namespace quorvel::sim
