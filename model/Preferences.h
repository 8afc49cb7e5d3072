#pragma once

#include "Board.h"
#include "LauncherConfiguration.h"
#include "LayoutOrientation.h"
#include "PageLayout.h"
#include "Palette.h"
#include "Shortcut.h"
#include "WidgetKind.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// The persisted settings record, "preferences.json".
struct Preferences {
    static constexpr int maximumPages = 8;

    QMap<QString, LauncherConfiguration> launchers; // by launcher instance kind
    LayoutOrientation orientation = LayoutOrientation::horizontal;
    std::optional<QString> primaryAccent;
    std::optional<QString> customAccent;
    Palette palette = Palette::mint;
    Board board = Board::overview;
    int pageCount = 3;
    bool directTouch = true;
    bool showSeconds = false;
    int focusMinutes = 25;
    QString note;
    std::optional<quint32> displayID;
    QList<Shortcut> shortcuts = Shortcut::standard();
    QMap<QString, QList<WidgetKind>> widgetOrders;       // by board raw value
    QMap<QString, QMap<QString, QString>> widgetStorage; // by widget instance
    QMap<QString, PageLayout> pageLayouts;               // by board raw value
    // The bus name of the music player the music widgets follow alone
    // ("org.mpris.MediaPlayer2.vlc"); absent: they choose by themselves.
    std::optional<QString> musicPlayer;

    // Reads a whole document. Throws DecodingError when any key but "pageLayouts" has a value of
    // the wrong shape; undecodable or invalid page layouts are dropped instead. `dropped`, when
    // given, tells whether anything of the document was left out: a page layout, or a key this
    // version does not know (a newer version's), which the next save would lose.
    static Preferences fromJson(const QByteArray& document, bool* dropped = nullptr);
    static Preferences fromJsonObject(const QJsonObject& object, bool* dropped = nullptr);
    // Compact, keys in their fixed order, absent optional values left out.
    QByteArray toJson() const;

    // The derived colours: the stored text when it is a valid colour, else the default.
    QString primaryHex() const;
    QString accentHex() const;

    QList<WidgetKind> widgets(Board on) const;
    void swapWidgets(const WidgetKind& a, const WidgetKind& b, Board on);

    bool operator==(const Preferences&) const = default;
};

// "#" and six hexadecimal digits, nothing more.
bool isColorText(const QString& text);
