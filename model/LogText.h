#pragma once

#include <QString>

// Text on its way into a log or onto a terminal. A page, a package or a remote command chooses
// what reaches these, so no line may be unbounded and no character may drive the terminal.
namespace LogText {

// The longest line kept, in UTF-16 characters, its mark included.
constexpr int lineLimit = 4096;

// The line as it stands when it fits; else its beginning, marked with how long it was. A cut line
// fits, so cutting twice changes nothing.
QString cut(const QString& line);

// Control characters (C0 including escape and newline, delete, C1) and the characters that break
// or reorder a line (line and paragraph separators, bidirectional overrides and isolates) as
// visible escapes: \n, \t, \r, \x1b, \u2028. Every other character is kept as it is.
QString escapeControls(const QString& text);

// A message as one entry of a log: cut, each of its lines escaped, the lines after the first
// indented under it.
QString entry(const QString& message);

} // namespace LogText
