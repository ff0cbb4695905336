#pragma once

#include <QWidget>

#include "charts/ChartData.h"

class QChart;
class QChartView;
class QLabel;
class QTimer;

namespace corvid {

class CListViewEx;

// The chart panel beside the statement list: where the load of the listed
// statements sits. A Pareto chart of the top statements by buffer gets (bars, and
// a line of their running share of all listed buffer gets), the same for disk
// reads, and buffer gets summed by user and by command type. It follows the
// list: whenever the list's rows change it draws them anew. Clicking a statement's
// bar selects that statement's row in the list. The panel draws; what it draws is
// computed by ComputeChartData.
class CChartPanel : public QWidget {
    Q_OBJECT
public:
    enum class EChart { BufferGets, DiskReads, ByUser, ByCommand };

    // The list's rows hold positions in `collection`, which outlives the panel.
    CChartPanel(CListViewEx& view, const CObjectArray& collection, QWidget* parent = nullptr);
    ~CChartPanel() override;

    // Computes the data from the list's current rows and redraws the charts; while
    // held, only marks them to be drawn on release.
    void Refresh();
    // Held, the panel does not read the collection (a load in the background is
    // writing it); released, it draws what it missed.
    void SetHeld(bool held);
    bool IsHeld() const { return m_held; }
    const SChartData& Data() const { return m_data; }
    QChart* Chart(EChart chart) const;

    // Selects the row of the statement of bar `index` of a Pareto chart (and
    // scrolls it into view); false when the bar or its row does not exist.
    bool SelectBar(EChart chart, int index);

    // Writes the four charts as one picture: SVG for a name ending in ".svg",
    // PNG otherwise. False when the file could not be written.
    bool SaveImage(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ScheduleRefresh();
    void DrawPareto(EChart chart, const SParetoSeries& series, const QString& figure);
    void DrawGroups(EChart chart, const std::vector<SGroupSum>& groups, const QString& title);
    void AskAndSave();

    CListViewEx& m_view;
    const CObjectArray& m_collection;
    SChartData m_data;
    QWidget* m_charts = nullptr;
    QChartView* m_chartViews[4] = {};
    QLabel* m_note = nullptr;
    QTimer* m_refreshTimer = nullptr;
    bool m_stale = true;
    bool m_held = false;
};

}  // namespace corvid
