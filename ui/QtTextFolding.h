// Unicode text as the user reads it, with Qt: full lower-casing, grapheme clusters from Qt's
// boundary finder and the current locale's collation, case-insensitive. Main thread only (the one
// collator is not shared across threads).
#pragma once

#include "platform/TextFolding.h"

#include <QCollator>

namespace quorvel::ui {

class QtTextFolding final : public TextFolding {
public:
    // `locale`: the collation's; the current locale when left out.
    explicit QtTextFolding(const QLocale& locale = QLocale());

    std::string lower(std::string_view text) const override;
    std::vector<std::size_t> clusterEnds(std::string_view text) const override;
    int compare(std::string_view a, std::string_view b) const override;

private:
    QCollator m_collator;
};

} // namespace quorvel::ui
