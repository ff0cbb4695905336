#pragma once

#include <string>

#include "report/ReportModel.h"

namespace corvid {

// Charts as SVG text for an HTML page: a `svg` element with a title and a
// description, sized by its view box so that it scales to the page's width.
// Colours come from the page's style sheet (classes "bar", "line", "axis", ...).

// Vertical bars, largest first, with the line of their running share when the
// chart is a Pareto chart; horizontal bars with their labels otherwise. A bar with
// a link is an anchor to it. An empty chart says so in a text.
void AppendChartSvg(const SReportChart& chart, std::string& out);

// Lines of the series over the timeline's times, a marker with its value at each point.
void AppendTimelineSvg(const SReportTimeline& timeline, const std::string& id, std::string& out);

}  // namespace corvid
