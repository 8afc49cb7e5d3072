// soak_plot SAMPLES.csv EVENTS.csv OUT.png: the figures bench/soak wrote, drawn as three panels
// over the minutes of the run (memory, open descriptors, threads and processes), with the run's
// events (a renderer killed, the sound server restarted) marked across all of them.
#include <QColor>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <map>

namespace {

struct Series {
    QString name;
    QColor colour;
    QList<QPointF> points; // minute, value
};

struct Event {
    double minute = 0;
    QString kind;
};

// Rows of a CSV file with a header, as text keyed by column name.
QList<std::map<QString, QString>> readCsv(const QString& path) {
    QList<std::map<QString, QString>> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    const QStringList header = QString::fromUtf8(file.readLine()).trimmed().split(',');
    while (!file.atEnd()) {
        const QStringList cells = QString::fromUtf8(file.readLine()).trimmed().split(',');
        std::map<QString, QString> row;
        for (qsizetype i = 0; i < header.size() && i < cells.size(); ++i)
            row[header[i]] = cells[i];
        rows.append(row);
    }
    return rows;
}

Series column(const QList<std::map<QString, QString>>& rows, const QString& name,
              const QString& label, const QColor& colour) {
    Series series{label, colour, {}};
    for (const auto& row : rows) {
        const auto value = row.find(name);
        if (value != row.end())
            series.points.append(
                    {row.at(QStringLiteral("minute")).toDouble(), value->second.toDouble()});
    }
    return series;
}

void drawPanel(QPainter& painter, const QRectF& area, const QString& title,
               const QList<Series>& series, const QList<Event>& events, double lastMinute) {
    double low = 1e300, high = -1e300;
    for (const Series& s : series) {
        for (const QPointF& p : s.points) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    }
    if (low > high)
        low = 0, high = 1;
    const double margin = std::max((high - low) * 0.1, 1.0);
    low = std::max(0.0, low - margin);
    high += margin;
    const QRectF plot = area.adjusted(70, 28, -20, -28);
    const auto at = [&](const QPointF& p) {
        return QPointF(plot.left() + plot.width() * p.x() / std::max(lastMinute, 1.0),
                       plot.bottom() - plot.height() * (p.y() - low) / (high - low));
    };
    painter.setPen(QColor(80, 80, 80));
    painter.drawRect(plot);
    for (const Event& event : events) {
        const double x = at({event.minute, low}).x();
        painter.setPen(QPen(event.kind == QStringLiteral("kill") ? QColor(220, 70, 70, 140)
                                                                 : QColor(70, 120, 230, 140),
                            1, Qt::DashLine));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(QColor(20, 20, 20));
    painter.drawText(QPointF(area.left() + 8, area.top() + 18), title);
    for (int tick = 0; tick <= 4; ++tick) {
        const double value = low + (high - low) * tick / 4;
        const QPointF p = at({0, value});
        painter.drawText(QRectF(area.left(), p.y() - 8, 64, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(value, 'f', value < 100 ? 1 : 0));
    }
    for (int tick = 0; tick <= 8; ++tick) {
        const double minute = lastMinute * tick / 8;
        const QPointF p = at({minute, low});
        painter.drawText(QRectF(p.x() - 30, plot.bottom() + 4, 60, 16), Qt::AlignCenter,
                         QString::number(minute, 'f', lastMinute < 16 ? 1 : 0) +
                                 QStringLiteral(" min"));
    }
    double legend = plot.right() - 10;
    for (auto it = series.rbegin(); it != series.rend(); ++it) {
        const double width = painter.fontMetrics().horizontalAdvance(it->name) + 30;
        legend -= width;
        painter.setPen(QPen(it->colour, 2));
        painter.drawLine(QPointF(legend, area.top() + 14), QPointF(legend + 18, area.top() + 14));
        painter.setPen(QColor(20, 20, 20));
        painter.drawText(QPointF(legend + 22, area.top() + 18), it->name);
        QPainterPath path;
        for (qsizetype i = 0; i < it->points.size(); ++i) {
            if (i == 0)
                path.moveTo(at(it->points[i]));
            else
                path.lineTo(at(it->points[i]));
        }
        painter.setPen(QPen(it->colour, 1.6));
        painter.drawPath(path);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: soak_plot SAMPLES.csv EVENTS.csv OUT.png\n", stderr);
        return 2;
    }
    // Fonts need an application object; no window is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const auto samples = readCsv(QString::fromLocal8Bit(argv[1]));
    if (samples.isEmpty()) {
        std::fputs("soak_plot: no samples\n", stderr);
        return 1;
    }
    QList<Event> events;
    for (const auto& row : readCsv(QString::fromLocal8Bit(argv[2])))
        events.append(
                {row.at(QStringLiteral("minute")).toDouble(), row.at(QStringLiteral("kind"))});
    const double lastMinute = samples.last().at(QStringLiteral("minute")).toDouble();

    QImage image(1400, 960, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    const double height = image.height() / 3.0;
    drawPanel(painter, QRectF(0, 0, image.width(), height),
              QStringLiteral("Memory of the process tree, MB (red: a renderer killed; blue: the "
                             "sound server restarted)"),
              {column(samples, "pss_mb", "PSS", QColor(30, 130, 90)),
               column(samples, "private_mb", "private", QColor(160, 120, 30))},
              events, lastMinute);
    drawPanel(painter, QRectF(0, height, image.width(), height),
              QStringLiteral("Open file descriptors"),
              {column(samples, "fds_main", "dashboard", QColor(30, 90, 160)),
               column(samples, "fds_tree", "whole tree", QColor(120, 60, 160))},
              events, lastMinute);
    drawPanel(painter, QRectF(0, 2 * height, image.width(), height),
              QStringLiteral("Threads and processes"),
              {column(samples, "threads_main", "dashboard threads", QColor(30, 90, 160)),
               column(samples, "threads_tree", "tree threads", QColor(120, 60, 160)),
               column(samples, "processes", "processes", QColor(200, 90, 30))},
              events, lastMinute);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "soak_plot: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
