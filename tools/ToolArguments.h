#pragma once

#include <QMap>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The command line of the widget tools: positional arguments in order, options written
// "--name value" or "--name=value", and flags. "--" ends the options.
struct ToolArguments {
    QStringList positional;
    QMap<QString, QString> values;
    QSet<QString> flags;

    bool has(const QString& flag) const { return flags.contains(flag); }
    std::optional<QString> value(const QString& option) const;

    // The arguments, or one line saying what is wrong with them.
    static std::variant<ToolArguments, QString> parse(const QStringList& arguments,
                                                      const QStringList& valueOptions,
                                                      const QStringList& flagOptions);
};

// "364x502": a size in dashboard points, each side from 50 to 4000.
std::optional<QSize> parseToolSize(const QString& text);
// The --size option into `size` when given; otherwise `size` stays. The line saying what is wrong
// with a malformed one.
std::optional<QString> readToolSize(const ToolArguments& given, QSize& size);
