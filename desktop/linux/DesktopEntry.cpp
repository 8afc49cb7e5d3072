#include "DesktopEntry.h"

#include <QFile>
#include <QHash>

namespace {

// String values escape blanks and control characters with a backslash.
QString unescapeValue(const QString& value) {
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            result.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's':
            result.append(QLatin1Char(' '));
            break;
        case 'n':
            result.append(QLatin1Char('\n'));
            break;
        case 't':
            result.append(QLatin1Char('\t'));
            break;
        case 'r':
            result.append(QLatin1Char('\r'));
            break;
        default:
            // "\\" and the escapes that belong to Exec's own quoting stay for the next step.
            if (next != QLatin1Char('\\'))
                result.append(QLatin1Char('\\'));
            result.append(next);
        }
    }
    return result;
}

// Splits Exec into words: blanks separate, double quotes group, and inside quotes a backslash
// escapes ", `, $ and itself.
std::optional<QStringList> splitCommandLine(const QString& exec) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                word.append(exec[++i]);
            } else {
                word.append(c);
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inWord = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words.append(word);
    return words;
}

// The locale of a localised key such as "Name[de_AT]", or nothing for another key.
std::optional<QString> localeOf(const QString& key, const QString& name) {
    if (key.size() <= name.size() + 2 || !key.startsWith(name) ||
        key[name.size()] != QLatin1Char('[') || !key.endsWith(QLatin1Char(']')))
        return std::nullopt;
    return key.mid(name.size() + 1, key.size() - name.size() - 2);
}

} // namespace

QStringList DesktopEntry::localeMatches(const QString& messagesLocale) {
    QString rest = messagesLocale;
    QString modifier;
    if (const qsizetype at = rest.indexOf(QLatin1Char('@')); at >= 0) {
        modifier = rest.mid(at);
        rest.truncate(at);
    }
    rest = rest.section(QLatin1Char('.'), 0, 0);
    const QString language = rest.section(QLatin1Char('_'), 0, 0);
    const QString country = rest.contains(QLatin1Char('_')) ? rest : QString();
    if (language.isEmpty() || language == QStringLiteral("C") ||
        language == QStringLiteral("POSIX"))
        return {};
    QStringList matches;
    if (!country.isEmpty() && !modifier.isEmpty())
        matches.append(country + modifier);
    if (!country.isEmpty())
        matches.append(country);
    if (!modifier.isEmpty())
        matches.append(language + modifier);
    matches.append(language);
    return matches;
}

std::optional<DesktopEntry> DesktopEntry::read(const QString& file, const QString& messagesLocale) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    DesktopEntry entry;
    entry.file = file;
    bool inGroup = false;
    bool sawGroup = false;
    QHash<QString, QString> localisedNames; // by locale
    while (!input.atEnd()) {
        const QString line = QString::fromUtf8(input.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            sawGroup = sawGroup || inGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescapeValue(line.mid(equals + 1).trimmed());
        if (const auto locale = localeOf(key, QStringLiteral("Name")))
            localisedNames.insert(*locale, value);
        else if (key == QStringLiteral("Type"))
            entry.type = value;
        else if (key == QStringLiteral("Name"))
            entry.name = value;
        else if (key == QStringLiteral("Icon"))
            entry.icon = value;
        else if (key == QStringLiteral("Exec"))
            entry.exec = value;
        else if (key == QStringLiteral("Path"))
            entry.workingDirectory = value;
        else if (key == QStringLiteral("Categories"))
            entry.categories = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        else if (key == QStringLiteral("Hidden"))
            entry.hidden = value == QStringLiteral("true");
    }
    if (!sawGroup)
        return std::nullopt;
    for (const QString& locale : localeMatches(messagesLocale)) {
        if (!localisedNames.value(locale).isEmpty()) {
            entry.name = localisedNames.value(locale);
            break;
        }
    }
    return entry;
}

std::optional<QStringList> DesktopEntry::arguments() const {
    const auto words = splitCommandLine(exec);
    if (!words)
        return std::nullopt;
    QStringList arguments;
    for (const QString& word : *words) {
        // Codes for files and URLs (and the deprecated ones) stand alone and go away.
        static const QStringList dropped = {"%f", "%F", "%u", "%U", "%d",
                                            "%D", "%n", "%N", "%v", "%m"};
        if (dropped.contains(word))
            continue;
        if (word == QStringLiteral("%i")) {
            if (!icon.isEmpty())
                arguments << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != QLatin1Char('%') || i + 1 == word.size()) {
                expanded.append(word[i]);
                continue;
            }
            const QChar code = word[++i];
            if (code == QLatin1Char('%'))
                expanded.append(QLatin1Char('%'));
            else if (code == QLatin1Char('c'))
                expanded.append(name);
            else if (code == QLatin1Char('k'))
                expanded.append(file);
            // Any other code inside a word expands to nothing.
        }
        arguments.append(expanded);
    }
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    return arguments;
}
