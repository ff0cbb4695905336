#include "report/SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "charts/ChartData.h"
#include "report/HtmlText.h"

namespace corvid {

namespace {

std::string Num(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

// The smallest "nice" number (1, 2 or 5 times a power of ten) at least `value`.
double NiceCeiling(double value) {
    if (!(value > 0) || !std::isfinite(value)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= value) return step * power;
    return 10 * power;
}

// Opens the svg element with its title and description.
void OpenSvg(const std::string& id, const std::string& title, const std::string& description, int width,
             int height, std::string& out) {
    out += "<svg class=\"chart\" id=\"svg-" + id + "\" role=\"img\" viewBox=\"0 0 " + std::to_string(width) + " " +
           std::to_string(height) + "\" width=\"" + std::to_string(width) + "\" aria-labelledby=\"svg-" + id +
           "-title svg-" + id + "-desc\" xmlns=\"http://www.w3.org/2000/svg\">";
    out += "<title id=\"svg-" + id + "-title\">";
    AppendHtmlText(title, out);
    out += "</title><desc id=\"svg-" + id + "-desc\">";
    AppendHtmlText(description, out);
    out += "</desc>";
}

void AppendText(double x, double y, const char* anchor, const std::string& cls, const std::string& text,
                std::string& out) {
    out += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + anchor + "\" class=\"" + cls + "\">";
    AppendHtmlText(text, out);
    out += "</text>";
}

// The plot's grid with the scale of the figure on the left (0 to `top` in four
// steps) and, for a Pareto chart, the running share on the right.
struct SPlotArea {
    double left, top, width, height;
};

void AppendScales(const SPlotArea& plot, double top, bool shares, std::string& out) {
    for (int tick = 0; tick <= 4; ++tick) {
        const double y = plot.top + plot.height - plot.height * tick / 4;
        out += "<line class=\"grid\" x1=\"" + Num(plot.left) + "\" x2=\"" + Num(plot.left + plot.width) + "\" y1=\"" +
               Num(y) + "\" y2=\"" + Num(y) + "\"/>";
        AppendText(plot.left - 6, y + 4, "end", "tick", FormatReportNumber(top * tick / 4), out);
        if (shares) AppendText(plot.left + plot.width + 6, y + 4, "start", "tick", std::to_string(tick * 25) + " %", out);
    }
}

void AppendBar(const SReportBar& bar, double x, double y, double width, double height, std::string& out) {
    if (!bar.link.empty()) out += "<a href=\"#" + bar.link + "\">";
    out += "<rect class=\"bar\" x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(width) + "\" height=\"" +
           Num(std::max(height, 0.0)) + "\"><title>";
    AppendHtmlText(bar.title.empty() ? bar.label : bar.title, out);
    out += "</title></rect>";
    if (!bar.link.empty()) out += "</a>";
}

void AppendPareto(const SReportChart& chart, std::string& out) {
    constexpr int kWidth = 720, kHeight = 300;
    constexpr double kLeft = 70, kRight = 50, kTop = 20, kBottom = 40;
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    OpenSvg(chart.id, chart.title, chart.summary.empty() ? chart.figure : chart.summary, kWidth, kHeight, out);
    double largest = 0;
    for (const SReportBar& bar : chart.bars)
        largest = std::max(largest, bar.value);
    const double top = NiceCeiling(largest);
    // Axes with their scales: the figure on the left, the running share on the right.
    out += "<g class=\"axis\">";
    AppendScales({kLeft, kTop, plotWidth, plotHeight}, top, true, out);
    AppendText(kLeft + plotWidth / 2, kHeight - 6, "middle", "label", chart.figure + " (bars), running share (line)",
               out);
    out += "</g>";
    if (chart.bars.empty()) {
        AppendText(kLeft + plotWidth / 2, kTop + plotHeight / 2, "middle", "empty", "No statement", out);
        out += "</svg>";
        return;
    }
    const double slot = plotWidth / static_cast<double>(chart.bars.size());
    const double barWidth = std::max(slot * 0.7, 1.0);
    std::string line;
    out += "<g class=\"bars\">";
    for (std::size_t i = 0; i < chart.bars.size(); ++i) {
        const SReportBar& bar = chart.bars[i];
        const double height = top > 0 ? plotHeight * bar.value / top : 0;
        const double x = kLeft + slot * static_cast<double>(i) + (slot - barWidth) / 2;
        AppendBar(bar, x, kTop + plotHeight - height, barWidth, height, out);
        AppendText(x + barWidth / 2, kTop + plotHeight + 14, "middle", "tick", std::to_string(i + 1), out);
        if (bar.cumulativePercent) {
            const double share = std::clamp(*bar.cumulativePercent, 0.0, 100.0);
            line += (line.empty() ? "" : " ") + Num(x + barWidth / 2) + "," + Num(kTop + plotHeight - plotHeight * share / 100);
        }
    }
    out += "</g>";
    if (!line.empty()) out += "<polyline class=\"line\" points=\"" + line + "\"/>";
    out += "</svg>";
}

void AppendHorizontal(const SReportChart& chart, std::string& out) {
    constexpr int kWidth = 720;
    constexpr double kLeft = 190, kRight = 110, kTop = 10, kRow = 22;
    const double rows = static_cast<double>(std::max<std::size_t>(chart.bars.size(), 1));
    const int height = static_cast<int>(kTop * 2 + kRow * rows + 20);
    const double plotWidth = kWidth - kLeft - kRight;
    OpenSvg(chart.id, chart.title, chart.summary.empty() ? chart.figure : chart.summary, kWidth, height, out);
    if (chart.bars.empty()) {
        AppendText(kWidth / 2.0, kTop + kRow, "middle", "empty", "No statement", out);
        out += "</svg>";
        return;
    }
    double largest = 0;
    for (const SReportBar& bar : chart.bars)
        largest = std::max(largest, bar.value);
    out += "<g class=\"bars\">";
    for (std::size_t i = 0; i < chart.bars.size(); ++i) {
        const SReportBar& bar = chart.bars[i];
        const double y = kTop + kRow * static_cast<double>(i);
        const double width = largest > 0 ? plotWidth * bar.value / largest : 0;
        AppendText(kLeft - 8, y + kRow * 0.65, "end", "tick", StatementLabel(bar.label, 28), out);
        AppendBar(bar, kLeft, y + 3, width, kRow - 6, out);
        AppendText(kLeft + width + 6, y + kRow * 0.65, "start", "tick", FormatReportNumber(bar.value), out);
    }
    out += "</g>";
    AppendText(kLeft + plotWidth / 2, height - 6.0, "middle", "label", chart.figure, out);
    out += "</svg>";
}

}  // namespace

void AppendChartSvg(const SReportChart& chart, std::string& out) {
    if (chart.pareto) {
        AppendPareto(chart, out);
    } else {
        AppendHorizontal(chart, out);
    }
}

void AppendTimelineSvg(const SReportTimeline& timeline, const std::string& id, std::string& out) {
    constexpr int kWidth = 720, kHeight = 300;
    constexpr double kLeft = 70, kRight = 20, kTop = 20, kBottom = 60;
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    OpenSvg(id, timeline.title, timeline.figure + " from " + (timeline.times.empty() ? "" : timeline.times.front()) +
                                    " to " + (timeline.times.empty() ? "" : timeline.times.back()),
            kWidth, kHeight, out);
    double largest = 0;
    for (const SReportSeries& series : timeline.series)
        for (double value : series.values)
            if (std::isfinite(value)) largest = std::max(largest, value);
    const double top = NiceCeiling(largest);
    out += "<g class=\"axis\">";
    AppendScales({kLeft, kTop, plotWidth, plotHeight}, top, false, out);
    const std::size_t points = timeline.times.size();
    auto xOf = [&](std::size_t i) {
        return points <= 1 ? kLeft + plotWidth / 2 : kLeft + plotWidth * static_cast<double>(i) / static_cast<double>(points - 1);
    };
    // At most about ten time labels, evenly spread.
    const std::size_t every = std::max<std::size_t>(1, (points + 9) / 10);
    for (std::size_t i = 0; i < points; i += every)
        AppendText(xOf(i), kTop + plotHeight + 16, "middle", "tick", timeline.times[i], out);
    AppendText(kLeft + plotWidth / 2, kHeight - 8, "middle", "label", timeline.figure, out);
    out += "</g>";
    for (std::size_t s = 0; s < timeline.series.size(); ++s) {
        const SReportSeries& series = timeline.series[s];
        const std::string cls = "series series-" + std::to_string(s % 4);
        std::string line;
        std::string markers;
        const std::size_t count = std::min(points, series.values.size());
        for (std::size_t i = 0; i < count; ++i) {
            const double value = std::isfinite(series.values[i]) ? std::max(series.values[i], 0.0) : 0;
            const double x = xOf(i);
            const double y = kTop + plotHeight - (top > 0 ? plotHeight * value / top : 0);
            line += (line.empty() ? "" : " ") + Num(x) + "," + Num(y);
            markers += "<rect class=\"bar point\" x=\"" + Num(x - 3) + "\" y=\"" + Num(y - 3) +
                       "\" width=\"6\" height=\"6\"><title>";
            AppendHtmlText(series.name + ", " + timeline.times[i] + ": " + FormatReportNumber(series.values[i], 1), markers);
            markers += "</title></rect>";
        }
        out += "<g class=\"" + cls + "\"><polyline class=\"line\" points=\"" + line + "\"/>" + markers + "</g>";
    }
    // The legend, one line per series.
    for (std::size_t s = 0; s < timeline.series.size(); ++s) {
        const double x = kLeft + 150.0 * static_cast<double>(s % 4);
        const double y = kHeight - 24.0;
        out += "<g class=\"series series-" + std::to_string(s % 4) + "\"><rect class=\"bar\" x=\"" + Num(x) + "\" y=\"" +
               Num(y - 8) + "\" width=\"10\" height=\"10\"/>";
        AppendText(x + 14, y + 1, "start", "tick", timeline.series[s].name, out);
        out += "</g>";
    }
    out += "</svg>";
}

}  // namespace corvid
