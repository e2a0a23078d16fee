// Lower-casing, clusters and collation with Qt (see QtTextFolding.h).
#include "QtTextFolding.h"

#include <QString>
#include <QTextBoundaryFinder>

namespace quorvel::ui {

namespace {
QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The UTF-8 length of `text` (UTF-16) up to `end`: a surrogate pair is one 4-byte code point.
std::size_t utf8Length(const QString& text, qsizetype begin, qsizetype end, std::size_t offset) {
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) offset += 1;
        else if (unit < 0x800) offset += 2;
        else if (QChar::isHighSurrogate(unit) && i + 1 < end && QChar::isLowSurrogate(text[i + 1].unicode())) {
            offset += 4;
            ++i;
        } else offset += 3; // other BMP code points, and a lone surrogate (U+FFFD once converted)
    }
    return offset;
}
} // namespace

QtTextFolding::QtTextFolding(const QLocale& locale) : m_collator(locale) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

std::string QtTextFolding::lower(std::string_view text) const { return fromUtf8(text).toLower().toStdString(); }

std::vector<std::size_t> QtTextFolding::clusterEnds(std::string_view text) const {
    // Invalid UTF-8 becomes U+FFFD (3 bytes) on the way in: count the bytes of what Qt read, which
    // equals `text` whenever it was valid.
    const QString string = fromUtf8(text);
    std::vector<std::size_t> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, string);
    qsizetype previous = 0;
    std::size_t bytes = 0;
    for (qsizetype next = finder.toNextBoundary(); next != -1; next = finder.toNextBoundary()) {
        if (next == previous) continue; // the start of the text is a boundary too
        bytes = utf8Length(string, previous, next, bytes);
        ends.push_back(bytes);
        previous = next;
    }
    return ends;
}

int QtTextFolding::compare(std::string_view a, std::string_view b) const {
    return m_collator.compare(fromUtf8(a), fromUtf8(b));
}

} // namespace quorvel::ui
