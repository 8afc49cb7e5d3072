#include "LogText.h"

#include <QStringList>
#include <algorithm>

namespace LogText {

namespace {

QString cutMark(qsizetype length) {
    return QStringLiteral(" … (cut, %1 characters in all)").arg(length);
}

bool breaksTheLine(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

QString escaped(char16_t c) {
    switch (c) {
    case u'\n':
        return QStringLiteral("\\n");
    case u'\r':
        return QStringLiteral("\\r");
    case u'\t':
        return QStringLiteral("\\t");
    default:
        return c <= 0xff ? QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'))
                         : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
}

} // namespace

QString cut(const QString& line) {
    if (line.size() <= lineLimit)
        return line;
    const QString mark = cutMark(line.size());
    qsizetype kept = lineLimit - mark.size();
    // Never half a character.
    if (line.at(kept - 1).isHighSurrogate())
        --kept;
    return line.left(kept) + mark;
}

QString escapeControls(const QString& text) {
    const auto first = std::find_if(text.begin(), text.end(),
                                    [](QChar c) { return breaksTheLine(c.unicode()); });
    if (first == text.end())
        return text;
    QString result = text.left(first - text.begin());
    for (auto c = first; c != text.end(); ++c) {
        if (breaksTheLine(c->unicode()))
            result += escaped(c->unicode());
        else
            result += *c;
    }
    return result;
}

QString entry(const QString& message) {
    QStringList lines = cut(message).trimmed().split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = escapeControls(line);
    return lines.join(QStringLiteral("\n    "));
}

} // namespace LogText
