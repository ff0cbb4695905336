#include "charts/qt/ChartPanel.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include "list/qt/ListModel.h"
#include "list/qt/ListViewEx.h"
#include "platform/Services.h"

namespace corvid {

namespace {

// The chart gives a removed axis back to its caller, who must delete it.
void RemoveAxes(QChart& chart) {
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
}

constexpr int kTopStatements = 20;
// Groups shown as bars; the rest are summed into one bar.
constexpr int kTopGroups = 12;
constexpr int kChartHeight = 280;

const QColor kBarColor(226, 170, 40);
const QColor kLineColor(200, 56, 48);
const QColor kGroupColor(86, 140, 200);

QString Figure(double value) {
    return QLocale().toString(value, 'f', 0);
}

}  // namespace

CChartPanel::CChartPanel(CListViewEx& view, const CObjectArray& collection, QWidget* parent)
    : QWidget(parent), m_view(view), m_collection(collection) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* top = new QHBoxLayout;
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    top->addWidget(m_note, 1);
    auto* save = new QPushButton(QStringLiteral("Save As..."), this);
    save->setToolTip(QStringLiteral("Save the charts as a PNG or SVG picture"));
    top->addWidget(save);
    layout->addLayout(top);

    m_charts = new QWidget;
    auto* chartsLayout = new QVBoxLayout(m_charts);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    for (QChartView*& chartView : m_chartViews) {
        auto* chart = new QChart;
        chart->legend()->setAlignment(Qt::AlignBottom);
        chart->setMargins(QMargins(4, 4, 4, 4));
        chartView = new QChartView(chart, m_charts);
        chartView->setRenderHint(QPainter::Antialiasing);
        chartView->setMinimumHeight(kChartHeight);
        chartsLayout->addWidget(chartView);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_charts);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll, 1);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &CChartPanel::Refresh);
    connect(save, &QPushButton::clicked, this, &CChartPanel::AskAndSave);
    CListModel* model = m_view.ListModel();
    connect(model, &CListModel::rowsReloaded, this, &CChartPanel::ScheduleRefresh);
    connect(model, &CListModel::columnsRebuilt, this, &CChartPanel::ScheduleRefresh);
    connect(model, &QAbstractItemModel::modelReset, this, &CChartPanel::ScheduleRefresh);
    Refresh();
}

CChartPanel::~CChartPanel() = default;

QChart* CChartPanel::Chart(EChart chart) const {
    return m_chartViews[static_cast<int>(chart)]->chart();
}

void CChartPanel::ScheduleRefresh() {
    // A hidden panel draws when it is shown again.
    m_stale = true;
    if (isVisible()) m_refreshTimer->start();
}

void CChartPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale) m_refreshTimer->start();
}

void CChartPanel::SetHeld(bool held) {
    m_held = held;
    if (!held && m_stale && isVisible()) m_refreshTimer->start();
}

void CChartPanel::Refresh() {
    if (m_held) {
        m_stale = true;
        return;
    }
    m_stale = false;
    m_data = ComputeChartData(m_view.GetListCtrl(), m_collection, kTopStatements);
    DrawPareto(EChart::BufferGets, m_data.bufferGets, QStringLiteral("buffer gets"));
    DrawPareto(EChart::DiskReads, m_data.diskReads, QStringLiteral("disk reads"));
    DrawGroups(EChart::ByUser, m_data.bufferGetsByUser, QStringLiteral("Buffer gets by user"));
    DrawGroups(EChart::ByCommand, m_data.bufferGetsByCommand, QStringLiteral("Buffer gets by command type"));
    const int listed = m_data.bufferGets.statementCount;
    m_note->setText(listed == 0 ? QStringLiteral("No statements listed. Load them with F5.")
                                : QStringLiteral("%1 listed statements. Click a bar to select its statement.")
                                      .arg(QLocale().toString(listed)));
}

void CChartPanel::DrawPareto(EChart which, const SParetoSeries& series, const QString& figure) {
    QChart* chart = Chart(which);
    chart->removeAllSeries();
    RemoveAxes(*chart);

    const std::string summary = ParetoSummary(series, figure.toStdString());
    chart->setTitle(QStringLiteral("Top %1 statements by %2").arg(series.bars.size()).arg(figure) +
                    (summary.empty() ? QString() : QStringLiteral("<br>") + QString::fromStdString(summary)));

    auto* set = new QBarSet(QStringLiteral("Statement's %1").arg(figure));
    set->setColor(kBarColor);
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Running share of all listed %1 (%)").arg(figure));
    line->setPen(QPen(kLineColor, 2));
    line->setPointsVisible(true);
    QStringList ranks;
    double largest = 0;
    for (std::size_t i = 0; i < series.bars.size(); ++i) {
        const SParetoBar& bar = series.bars[i];
        *set << bar.value;
        line->append(static_cast<qreal>(i), bar.cumulativePercent);
        ranks << QString::number(i + 1);
        largest = std::max(largest, bar.value);
    }
    auto* bars = new QBarSeries;
    bars->append(set);
    chart->addSeries(bars);
    chart->addSeries(line);

    auto* categories = new QBarCategoryAxis;
    categories->append(ranks);
    categories->setTitleText(QStringLiteral("Rank"));
    // Upright numbers are cut to "..." in a narrow panel.
    QFont small = categories->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    categories->setLabelsFont(small);
    if (ranks.size() > 10) categories->setLabelsAngle(-90);
    chart->addAxis(categories, Qt::AlignBottom);
    bars->attachAxis(categories);
    line->attachAxis(categories);
    auto* values = new QValueAxis;
    values->setRange(0, largest > 0 ? largest : 1);
    values->applyNiceNumbers();
    values->setLabelFormat(QStringLiteral("%.0f"));
    values->setTitleText(figure);
    chart->addAxis(values, Qt::AlignLeft);
    bars->attachAxis(values);
    auto* percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setLabelFormat(QStringLiteral("%d %%"));
    chart->addAxis(percent, Qt::AlignRight);
    line->attachAxis(percent);

    connect(set, &QBarSet::clicked, this, [this, which](int index) { SelectBar(which, index); });
    connect(set, &QBarSet::hovered, this, [this, which](bool status, int index) {
        const SParetoSeries& shown = which == EChart::BufferGets ? m_data.bufferGets : m_data.diskReads;
        if (!status || index < 0 || static_cast<std::size_t>(index) >= shown.bars.size()) {
            QToolTip::hideText();
            return;
        }
        const SParetoBar& bar = shown.bars[static_cast<std::size_t>(index)];
        QToolTip::showText(QCursor::pos(), QStringLiteral("#%1 %2\n%3 (%4 %, running %5 %)\n%6")
                                               .arg(index + 1)
                                               .arg(QString::fromStdString(bar.address), Figure(bar.value))
                                               .arg(bar.sharePercent, 0, 'f', 1)
                                               .arg(bar.cumulativePercent, 0, 'f', 1)
                                               .arg(QString::fromStdString(bar.label)));
    });
}

void CChartPanel::DrawGroups(EChart which, const std::vector<SGroupSum>& groups, const QString& title) {
    QChart* chart = Chart(which);
    chart->removeAllSeries();
    RemoveAxes(*chart);
    chart->setTitle(title);
    chart->legend()->hide();

    // Largest at the top: a horizontal chart draws its first category at the bottom.
    QStringList names;
    QList<qreal> values;
    double others = 0;
    int otherCount = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (static_cast<int>(i) < kTopGroups) {
            names.prepend(QString::fromStdString(groups[i].name));
            values.prepend(groups[i].value);
        } else {
            others += groups[i].value;
            ++otherCount;
        }
    }
    if (otherCount > 0) {
        names.prepend(QStringLiteral("%1 others").arg(otherCount));
        values.prepend(others);
    }
    auto* set = new QBarSet(title);
    set->setColor(kGroupColor);
    set->append(values);
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    series->setLabelsPrecision(15);  // whole figures, not 2.35817e+07
    chart->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    categories->append(names);
    chart->addAxis(categories, Qt::AlignLeft);
    series->attachAxis(categories);
    auto* axis = new QValueAxis;
    double largest = 0;
    for (qreal value : values)
        largest = std::max(largest, static_cast<double>(value));
    axis->setRange(0, largest > 0 ? largest : 1);
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(axis, Qt::AlignBottom);
    series->attachAxis(axis);
}

bool CChartPanel::SelectBar(EChart which, int index) {
    if (which != EChart::BufferGets && which != EChart::DiskReads) return false;
    const SParetoSeries& series = which == EChart::BufferGets ? m_data.bufferGets : m_data.diskReads;
    if (index < 0 || static_cast<std::size_t>(index) >= series.bars.size()) return false;
    const std::int64_t wanted = series.bars[static_cast<std::size_t>(index)].itemData;
    const CListCtrlEx& list = m_view.GetListCtrl();
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemData(row) != wanted) continue;
        m_view.selectRow(row);
        m_view.scrollTo(m_view.model()->index(row, 0));
        return true;
    }
    return false;
}

bool CChartPanel::SaveImage(const QString& path) {
    if (m_stale) Refresh();
    m_charts->adjustSize();
    const QSize size = m_charts->size().expandedTo(QSize(600, 4 * kChartHeight));
    if (m_charts->size() != size) m_charts->resize(size);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("Corvid charts"));
        QPainter painter;
        if (!painter.begin(&svg)) return false;
        m_charts->render(&painter);
        return painter.end();
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    m_charts->render(&painter);
    painter.end();
    return image.save(path, "PNG");
}

void CChartPanel::AskAndSave() {
    QString filter;
    QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Charts"), QStringLiteral("corvid-charts.png"),
                                     QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)"), &filter);
    if (path.isEmpty()) return;
    if (!path.contains(QLatin1Char('.'))) path += filter.startsWith(QStringLiteral("SVG")) ? ".svg" : ".png";
    if (!SaveImage(path)) {
        GetPrompter().Message("Unable to create the file '" + path.toStdString() + "'", IPrompter::Kind::Error);
    }
}

}  // namespace corvid
