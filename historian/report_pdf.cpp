// The report's PDF: A4 upright, lengths in millimetres turned into the
// writer's pixels, text in points. The tables show the very cells of the
// CSV (reportTable) as --table shows them; a trend's line breaks where a
// bucket is missing, so a gap shows as a gap, not a straight line.
#include "historian/report_pdf.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>

#include "historian/time_spec.h"

namespace historian {

namespace {

constexpr int RESOLUTION = 300; // dots per inch
constexpr double MARGIN_MM = 15, TREND_MM = 38;

QString qt(const std::string &text) {
    return QString::fromStdString(text);
}

// Where the next thing goes, and a new page when it would not fit.
class Sheet {
  public:
    Sheet(QPdfWriter &writer, QPainter &painter) : writer_(writer), painter_(painter) {
        y = mm(MARGIN_MM);
    }
    static double mm(double length) { return length * RESOLUTION / 25.4; }
    double left() const { return mm(MARGIN_MM); }
    double width() const { return writer_.width() - 2 * mm(MARGIN_MM); }
    void need(double height) {
        if (y + height > writer_.height() - mm(MARGIN_MM)) {
            writer_.newPage();
            y = mm(MARGIN_MM);
        }
    }
    // Text in `points`, bold or not, wrapped to the width; moves down past it.
    void text(const QString &line, double points, bool bold = false) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(points);
        font.setBold(bold);
        painter_.setFont(font);
        const QRectF room(left(), 0, width(), writer_.height());
        const double height =
            QFontMetricsF(font, &writer_).boundingRect(room, Qt::TextWordWrap, line).height();
        need(height);
        painter_.setPen(Qt::black);
        painter_.drawText(QRectF(left(), y, width(), height), Qt::AlignLeft | Qt::TextWordWrap,
                          line);
        y += height + QFontMetricsF(font, &writer_).height() * 0.2;
    }

    double y = 0;

  private:
    QPdfWriter &writer_;
    QPainter &painter_;
};

// One shift's rows of the table: sensor and its figures.
void drawShiftTable(Sheet &sheet, QPainter &painter, QPdfWriter &writer, const Table &table,
                    const std::vector<std::size_t> &rows) {
    static const char *const headers[] = {"sensor", "frames",     "mean",    "σ",         "min",
                                          "max",    "lower",      "upper",   "Cp",        "Cpk",
                                          "out %",  "excursions", "longest", "not online"};
    constexpr std::size_t FIRST = 2; // the table's shift and end columns stay in the heading
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(7);
    const QFontMetricsF metrics(font, &writer);
    const std::size_t columns = table.columns.size() - FIRST;
    std::vector<double> widths(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        widths[c] = metrics.horizontalAdvance(QString::fromUtf8(headers[c]));
        for (const std::size_t r : rows)
            widths[c] = std::max(
                widths[c], metrics.horizontalAdvance(
                               qt(shownCell(table.columns[c + FIRST], table.rows[r][c + FIRST]))));
    }
    const double pad = Sheet::mm(1.5);
    double total = 0;
    for (double &w : widths)
        total += (w += 2 * pad);
    const double stretch = sheet.width() / total;
    for (double &w : widths)
        w *= stretch;
    const double height = metrics.height() * 1.5;
    const auto line = [&](const std::vector<QString> &cells, bool head) {
        sheet.need(height);
        QFont used = font;
        used.setBold(head);
        painter.setFont(used);
        if (head)
            painter.fillRect(QRectF(sheet.left(), sheet.y, sheet.width(), height),
                             QColor(230, 230, 230));
        double x = sheet.left();
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const bool right = c > 0;
            painter.setPen(Qt::black);
            painter.drawText(QRectF(x + pad, sheet.y, widths[c] - 2 * pad, height),
                             (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, cells[c]);
            x += widths[c];
        }
        painter.setPen(QPen(QColor(180, 180, 180), 0));
        painter.drawLine(QPointF(sheet.left(), sheet.y + height),
                         QPointF(sheet.left() + sheet.width(), sheet.y + height));
        sheet.y += height;
    };
    std::vector<QString> head;
    for (std::size_t c = 0; c < columns; ++c)
        head.push_back(QString::fromUtf8(headers[c]));
    line(head, true);
    for (const std::size_t r : rows) {
        std::vector<QString> cells;
        for (std::size_t c = FIRST; c < table.columns.size(); ++c)
            cells.push_back(qt(shownCell(table.columns[c], table.rows[r][c])));
        line(cells, false);
    }
    sheet.y += height;
}

// The band of least and greatest value, the mean and the limits over the span.
void drawTrend(Sheet &sheet, QPainter &painter, const SensorTrend &trend, Span span) {
    const double height = Sheet::mm(TREND_MM);
    sheet.text(qt(trend.sensor), 9, true);
    sheet.need(height + Sheet::mm(6));
    const double axis = Sheet::mm(14);
    const QRectF box(sheet.left() + axis, sheet.y, sheet.width() - axis, height);
    painter.setPen(QPen(QColor(150, 150, 150), 0));
    painter.drawRect(box);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(6.5);
    painter.setFont(font);
    if (trend.points.empty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("no frames in the span"));
    } else {
        int low = trend.points.front().min, high = trend.points.front().max;
        for (const TrendPoint &p : trend.points) {
            low = std::min({low, p.min, p.lower});
            high = std::max({high, p.max, p.upper});
        }
        const double spread = std::max(1, high - low);
        const double bottom = low - spread * 0.05, top = high + spread * 0.05;
        const double length = static_cast<double>(std::max<Millis>(1, span.to - span.from));
        const Millis bucket = trend.bucketSeconds * 1000LL;
        const auto x = [&](Millis t) {
            return box.left() + box.width() * static_cast<double>(t - span.from) / length;
        };
        const auto y = [&](double v) {
            return box.bottom() - box.height() * (v - bottom) / (top - bottom);
        };
        // Runs of buckets that follow each other: a missing bucket ends a run.
        std::vector<std::pair<std::size_t, std::size_t>> runs;
        for (std::size_t i = 0; i < trend.points.size(); ++i)
            if (i == 0 || trend.points[i].start - trend.points[i - 1].start > bucket)
                runs.push_back({i, i + 1});
            else
                runs.back().second = i + 1;
        painter.save();
        painter.setClipRect(box);
        for (const auto &[first, end] : runs) {
            QPainterPath band, mean, lower, upper;
            for (std::size_t i = first; i < end; ++i) {
                const TrendPoint &p = trend.points[i];
                const double x0 = x(p.start), x1 = x(p.start + bucket);
                const QPointF at(x0, y(p.max)), to(x1, y(p.max));
                if (i == first)
                    band.moveTo(at);
                else
                    band.lineTo(at);
                band.lineTo(to);
                const QPointF centre((x0 + x1) / 2, y(p.mean));
                i == first ? mean.moveTo(centre) : mean.lineTo(centre);
                for (auto [path, value] : {std::pair<QPainterPath *, int>{&lower, p.lower},
                                           std::pair<QPainterPath *, int>{&upper, p.upper}}) {
                    i == first ? path->moveTo(x0, y(value)) : path->lineTo(x0, y(value));
                    path->lineTo(x1, y(value));
                }
            }
            for (std::size_t i = end; i-- > first;) {
                const TrendPoint &p = trend.points[i];
                band.lineTo(x(p.start + bucket), y(p.min));
                band.lineTo(x(p.start), y(p.min));
            }
            band.closeSubpath();
            painter.fillPath(band, QColor(120, 160, 220, 110));
            painter.strokePath(mean, QPen(QColor(20, 50, 140), Sheet::mm(0.3)));
            QPen limit(QColor(200, 30, 30), Sheet::mm(0.25), Qt::DashLine);
            painter.strokePath(lower, limit);
            painter.strokePath(upper, limit);
        }
        painter.restore();
        painter.setPen(Qt::black);
        const QRectF label(sheet.left(), 0, axis - Sheet::mm(1.5), Sheet::mm(4));
        painter.drawText(label.translated(0, box.top()), Qt::AlignRight | Qt::AlignTop,
                         QString::number(high));
        painter.drawText(label.translated(0, box.bottom() - label.height()),
                         Qt::AlignRight | Qt::AlignBottom, QString::number(low));
    }
    painter.setPen(Qt::black);
    const QRectF under(box.left(), box.bottom() + Sheet::mm(0.5), box.width(), Sheet::mm(4));
    painter.drawText(under, Qt::AlignLeft | Qt::AlignTop, qt(formatTime(span.from)));
    painter.drawText(under, Qt::AlignRight | Qt::AlignTop, qt(formatTime(span.to)));
    painter.drawText(under, Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("band: least to greatest Mvalue; line: mean; dashed: limits"));
    sheet.y = box.bottom() + Sheet::mm(8);
}

} // namespace

std::string writeReportPdf(const ShiftReport &report, const std::string &path) {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return "the PDF needs a QGuiApplication";
    const QFileInfo file(qt(path));
    if (!file.dir().exists())
        return "the folder " + file.dir().path().toStdString() + " does not exist";
    QPdfWriter writer(qt(path));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(RESOLUTION);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(QStringLiteral("Shift report %1 to %2")
                        .arg(qt(formatTime(report.span.from)), qt(formatTime(report.span.to))));
    writer.setCreator(QStringLiteral("vexa-tb-historian"));
    QPainter painter;
    if (!painter.begin(&writer))
        return "cannot write the file";
    Sheet sheet(writer, painter);
    sheet.text(QStringLiteral("Shift report"), 16, true);
    sheet.text(QStringLiteral("from %1 to %2")
                   .arg(qt(formatTime(report.span.from)), qt(formatTime(report.span.to))),
               9);
    sheet.text(QStringLiteral("made %1 from %2 by vexa-tb-historian")
                   .arg(qt(formatTime(report.made)), qt(report.store)),
               8);
    sheet.text(QStringLiteral("σ: sample standard deviation of Mvalue; Cp = (upper − lower) / 6σ; "
                              "Cpk = min(upper − mean, mean − lower) / 3σ; \"-\": too few frames "
                              "or σ = 0"),
               7);
    sheet.y += Sheet::mm(3);
    const Table table = reportTable(report);
    if (table.rows.empty())
        sheet.text(QStringLiteral("no data in the span"), 10);
    for (const Span &shift : report.shifts) {
        std::vector<std::size_t> rows;
        for (std::size_t r = 0; r < report.rows.size(); ++r)
            if (report.rows[r].shift.from == shift.from)
                rows.push_back(r);
        if (rows.empty())
            continue;
        sheet.need(Sheet::mm(20));
        sheet.text(QStringLiteral("Shift %1 to %2 (%3)")
                       .arg(qt(formatTime(shift.from)), qt(formatTime(shift.to)),
                            qt(formatDuration(shift.to - shift.from))),
                   9, true);
        drawShiftTable(sheet, painter, writer, table, rows);
    }
    if (!table.rows.empty()) {
        sheet.need(Sheet::mm(TREND_MM + 20));
        sheet.text(QStringLiteral("Trends"), 12, true);
        for (const SensorTrend &trend : report.trends)
            drawTrend(sheet, painter, trend, report.span);
    }
    if (!painter.end())
        return "cannot write the file";
    return "";
}

} // namespace historian
