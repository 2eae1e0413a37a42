#pragma once
// The chart view of the chart windows (`TAdvGDIPChartView`): one pane ("ChartPane 0") with a
// title above the plot, an X axis in seconds and one or more XY line series drawn on one Y scale.
// Built on QCustomPlot, which only this view's source includes.
//
// The windows set plain fields and call BeginUpdate / EndUpdate around their changes; EndUpdate
// draws once. Points are appended one at a time (AddSingleXYPoint) to a container that keeps its
// memory across ClearPoints, so a window that appends only the new samples pays for one point,
// and drawing pays only for the visible range.
//
// Look: series 0 gives the Y axis its range (Minimum..Maximum); the other series are drawn on
// that scale without axes of their own. The Y axis is YAxisWidth pixels wide with red tick marks
// every YMajorUnit; the X axis is captioned XAxisCaption with ticks every XMajorUnit; the Y grid
// has major lines every YGrid.MajorDistance and minor lines every YGrid.MinorDistance, the X grid
// lines every XGrid.MajorDistance. A unit that would put ticks or lines closer than the plot can
// show legibly is thinned to a multiple of itself (1, 2 or 5 times a power of ten); a unit that
// fits is used as given. Where the visible points of a series are denser than the plot's pixels
// its markers are left out and its line is drawn as the band each pixel column's points span
// (the picture the line would make, at a fraction of the cost). Each paint draws straight into
// the window; captions and markers are kept as pictures.
//
// Any visible range is accepted: RangeFrom above RangeTo runs the axis backwards (RangeFrom on
// the left), an empty one (RangeFrom == RangeTo) shows one unit around it, ranges beyond the data
// show an empty plot. The same holds for Minimum / Maximum.
//
// The mouse: the view only reports what the pointer does, in keys (seconds) of the X axis, to
// the hooks its window sets; the window decides what the view shows. The wheel reports the key
// under the pointer and the notches turned (OnWheel); a drag with the left button reports its
// start (OnDragStart, which may refuse it), how far the pointer has moved since the press
// (OnDrag) and its end (OnDragEnd); a tool tip over the plot area shows HoverText of the key
// under the pointer. A hook that is not set does nothing.
#include <QColor>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPTextElement;
class TChartView;

enum TChartType { ctXYLine };

// The pane's list of series, indexed from 0.
template <typename T> class TChartList {
public:
    T& operator[](int index) { return *items_.at(static_cast<size_t>(index)); }
    const T& operator[](int index) const { return *items_.at(static_cast<size_t>(index)); }
    int Count() const noexcept { return static_cast<int>(items_.size()); }

private:
    friend class TChartPane;
    friend class TChartView;
    std::vector<std::unique_ptr<T>> items_;
};

class TChartSeries {
public:
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    // Removes all points; the memory they took is kept for the next ones.
    void ClearPoints();
    // Makes room for `count` points now (allocated and touched), so that appending up to that
    // many never allocates again. Clears the points.
    void Reserve(int count);
    // Appends the point (SingleXPoint, SingleYPoint). Points are kept sorted by X; appending in
    // increasing X costs one step.
    void AddSingleXYPoint(double SingleXPoint, double SingleYPoint);
    int PointCount() const;
    double PointX(int index) const;
    double PointY(int index) const;

    TChartType ChartType = ctXYLine;
    double Minimum = 0.0; // Y range, read at EndUpdate (series 0 gives the pane's Y axis)
    double Maximum = 100.0;
    QColor Color{255, 85, 0};     // the series and its markers
    QColor LineColor{255, 85, 0}; // the line joining the points
    int MarkerSize = 2;           // circular markers, in pixels
    QString LegendText;           // kept; the legend is hidden
    QString ValueFormat = QStringLiteral("%g");

    // What the last drawing did: whether the markers were drawn.
    bool MarkersDrawn() const noexcept { return markersDrawn_; }

private:
    friend class TChartPane;
    friend class TChartView;
    explicit TChartSeries(QCPGraph* graph);
    QCPGraph* graph_;
    bool markersDrawn_ = false;
};

struct TChartRange {
    int32_t RangeFrom = 0;
    int32_t RangeTo = 100;
};

struct TChartGrid {
    bool Visible = false;
    double MinorDistance = 1.0;
    double MajorDistance = 1.0;
};

class TChartPane {
public:
    TChartPane(const TChartPane&) = delete;
    TChartPane& operator=(const TChartPane&) = delete;

    QString Name = QStringLiteral("ChartPane 0");
    QString Title; // shown centred above the plot
    TChartRange Range;
    TChartGrid XGrid{false, 10.0, 10.0};
    TChartGrid YGrid{false, 1.0, 2.0};
    TChartList<TChartSeries> Series;

    QString XAxisCaption = QStringLiteral("Seconds");
    double XMajorUnit = 10.0;
    double XMinorUnit = 10.0;
    double YMajorUnit = 1.0;
    int YAxisWidth = 40;
    QColor YTickColor{255, 0, 0};
    int MarginLeft = 10;
    int MarginRight = 10;
    int MarginTop = 10;

private:
    friend class TChartView;
    TChartPane(QCustomPlot& plot, int seriesCount);
    QCPTextElement* title_ = nullptr;
};

class TChartView : public QWidget {
    Q_OBJECT
public:
    // A view with one pane holding seriesCount series ("Serie 0", "Serie 1", ...).
    explicit TChartView(QWidget* parent = nullptr, int seriesCount = 1);
    ~TChartView() override;

    // Changes between BeginUpdate and the matching EndUpdate are drawn once, at that EndUpdate.
    // A view that is not visible draws when it is shown next.
    void BeginUpdate();
    void EndUpdate();

    TChartList<TChartPane> Panes;

    // ---- What the last drawing showed (for tests and figures) ----
    int DrawCount() const noexcept { return drawCount_; }
    // The X axis as drawn: left and right ends, in seconds.
    double DrawnLeft() const;
    double DrawnRight() const;
    // The Y axis as drawn: bottom and top ends.
    double DrawnBottom() const;
    double DrawnTop() const;
    // Distances between the drawn X ticks, Y ticks, Y major and minor grid lines.
    double XTickStep() const;
    double YTickStep() const;
    double YGridStep() const;
    double YMinorGridStep() const; // 0 when no minor lines are drawn
    // Draws now whatever is pending (also when hidden): the rendering the next paint shows.
    void Redraw();

    // ---- The mouse (see the top of this file) ----
    // The wheel turned over the view: the key under the pointer and the notches turned (one
    // notch of a wheel is 1; a touchpad sends fractions; positive away from the user).
    std::function<void(double keyAtPointer, double steps)> OnWheel;
    // A press of the left button: whether a drag may start.
    std::function<bool()> OnDragStart;
    // The pointer of a drag moved: keyDelta is the key at the pointer now less the key at the
    // press, both on the scale drawn now (so a view that follows the drag by showing the range
    // it had at the press less keyDelta keeps the grabbed point under the pointer).
    std::function<void(double keyDelta)> OnDrag;
    // The left button was released (or the drag was cut short).
    std::function<void()> OnDragEnd;
    // The text shown for the key under the pointer; an empty text shows none.
    std::function<QString(double key)> HoverText;
    // The X key at the view's column x, on the axis as drawn last (it goes on linearly beyond
    // the plot area).
    double KeyAt(int x) const;
    // Whether the point (view coordinates) lies in the plot area, inside the axes.
    bool InPlotArea(QPoint at) const;
    // The tool tip the pointer at `at` shows: HoverText(KeyAt(x)) inside the plot area, else empty.
    QString ToolTipAt(QPoint at) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class UnitTicker;
    void Apply();
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool PlotMouseEvent(QEvent* event);
    void EndDrag();

    QCustomPlot* plot_;       // owned by this widget
    QCPTextElement* caption_; // the X axis caption, owned by the plot's layout
    QSharedPointer<UnitTicker> xTicker_;
    QSharedPointer<UnitTicker> yTicker_;
    QSharedPointer<UnitTicker> yGridTicker_;
    int updateDepth_ = 0;
    bool pending_ = true;
    int drawCount_ = 0;
    bool dragging_ = false;
    int dragFromX_ = 0; // the column of the press
};

// The component's own name.
using TAdvGDIPChartView = TChartView;
