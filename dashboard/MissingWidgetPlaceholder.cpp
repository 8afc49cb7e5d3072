#include "MissingWidgetPlaceholder.h"

#include "dashboard/TarnTheme.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double margin = 14;
constexpr double symbolSize = 36;
constexpr double gap = 8;
constexpr int wrapping = Qt::AlignHCenter | Qt::TextWrapAnywhere;

QFont fontOf(const MissingWidgetPlaceholder::Line& line) {
    QFont font;
    font.setPixelSize(qRound(line.size));
    font.setWeight(line.heading ? QFont::DemiBold : QFont::Normal);
    return font;
}

// Words stay whole where they fit; only a word longer than the line (a package identity) breaks.
int flagsFor(const QString& text, const QFont& font, double width) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QFontMetricsF metrics(font);
    const bool fits = std::all_of(words.begin(), words.end(), [&](const QString& word) {
        return metrics.horizontalAdvance(word) <= width;
    });
    return fits ? Qt::AlignHCenter | Qt::TextWordWrap : wrapping;
}

double heightOf(const MissingWidgetPlaceholder::Line& line, double width) {
    const QFont font = fontOf(line);
    return QFontMetricsF(font)
            .boundingRect(QRectF(0, 0, width, 10000), flagsFor(line.text, font, width), line.text)
            .height();
}

// A puzzle piece: a square with a knob on its top and right sides.
QPainterPath puzzlePiece(const QRectF& box) {
    const double knob = box.width() * 0.26;
    const QRectF body = box.adjusted(0, knob * 0.6, -knob * 0.6, 0);
    QPainterPath path;
    path.addRoundedRect(body, knob * 0.35, knob * 0.35);
    path.addEllipse(QPointF(body.center().x(), body.top()), knob / 2, knob / 2);
    path.addEllipse(QPointF(body.right(), body.center().y()), knob / 2, knob / 2);
    return path.simplified();
}

QString tr(const char* text) {
    return QCoreApplication::translate("MissingWidgetPlaceholder", text);
}

} // namespace

MissingWidgetPlaceholder::Layout MissingWidgetPlaceholder::layout(const QSizeF& tile,
                                                                  const QString& packageID) {
    const double width = std::max(1.0, tile.width() - 2 * margin);
    const double room = tile.height() - 2 * margin;
    const bool narrow = width < 220;
    QList<Line> lines = {
            {tr("Widget unavailable"), narrow ? 17.0 : 20.0, true, {}},
            {packageID, 14, false, {}},
            {tr("Install the package or replace it in Layouts."), narrow ? 13.0 : 14.0, false, {}},
    };
    bool symbol = true;
    const auto height = [&] {
        double total = symbol ? symbolSize + gap : 0;
        for (const Line& line : lines)
            total += heightOf(line, width) + gap;
        return total - gap;
    };
    // Left out as the tile gets smaller: the symbol, what to do, then the package's identity.
    while (height() > room && (symbol || lines.size() > 1)) {
        if (symbol)
            symbol = false;
        else
            lines.removeAt(lines.size() - 1);
    }
    Layout result;
    double y = (tile.height() - height()) / 2;
    if (symbol) {
        result.symbol = QRectF(tile.width() / 2 - symbolSize / 2, y, symbolSize, symbolSize);
        y += symbolSize + gap;
    }
    for (Line& line : lines) {
        const double lineHeight = heightOf(line, width);
        line.frame = QRectF(margin, y, width, lineHeight);
        y += lineHeight + gap;
    }
    result.lines = lines;
    return result;
}

void MissingWidgetPlaceholder::paint(QPainter& painter, const Layout& layout) {
    painter.save();
    if (!layout.symbol.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(TarnTheme::muted());
        painter.drawPath(puzzlePiece(layout.symbol));
    }
    for (const Line& line : layout.lines) {
        const QFont font = fontOf(line);
        painter.setFont(font);
        painter.setPen(line.heading ? TarnTheme::text() : TarnTheme::muted());
        painter.drawText(line.frame, flagsFor(line.text, font, line.frame.width()), line.text);
    }
    painter.restore();
}
