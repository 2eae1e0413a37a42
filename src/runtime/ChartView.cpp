#include "runtime/ChartView.h"

#include <qcustomplot.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QShowEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Closest distances at which ticks, labels and grid lines stay legible, in pixels.
constexpr double MinLabelSpacingX = 56.0; // room for "86400" and a gap
constexpr double MinLabelSpacingY = 20.0;
constexpr double MinGridSpacing = 10.0;
constexpr double MinMinorGridSpacing = 5.0;
constexpr int AxisRectTopMargin = 6;
constexpr int AxisRectRightMargin = 16; // half of the widest X label past the last tick

// The smallest of 1, 2, 5 times a power of ten that is at least `need` (need > 1).
double NiceMultiple(double need) {
    const double base = std::pow(10.0, std::floor(std::log10(need)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * base >= need * (1.0 - 1e-12))
            return m * base;
    }
    return 10.0 * base;
}

bool IsMultipleOf(double value, double unit) {
    const double ratio = value / unit;
    return std::abs(ratio - std::round(ratio)) < 1e-9 * std::max(1.0, std::abs(ratio));
}

// Puts the axis from `first` (left or bottom) to `second`: backwards when first > second, one
// unit around a single value, 0..1 for values that are not numbers.
void SetAxisEnds(QCPAxis& axis, double first, double second) {
    if (!std::isfinite(first) || !std::isfinite(second)) {
        first = 0.0;
        second = 1.0;
    }
    if (first == second) {
        first -= 0.5;
        second += 0.5;
    }
    axis.setRangeReversed(first > second);
    axis.setRange(std::min(first, second), std::max(first, second));
}

// The plot drawn straight into the window at each paint: no intermediate layer buffers to clear
// and blend (QCustomPlot's replot draws into transparent buffers that the paint then blends
// onto a background fill, four passes over every pixel instead of one).
class DirectPlot : public QCustomPlot {
public:
    explicit DirectPlot(QWidget* parent) : QCustomPlot(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted here
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QCPPainter painter(this);
        if (!painter.isActive())
            return;
        // The ticks are worked out before the layout gives the plot its size: when the size
        // changed, the first pass had the old size's ticks, and a second pass gets them right.
        const QSize before = axisRect()->rect().size();
        painter.fillRect(rect(), Qt::white);
        draw(&painter); // lays out, then draws every layer with the label cache in use
        if (axisRect()->rect().size() != before) {
            painter.fillRect(rect(), Qt::white);
            draw(&painter);
        }
    }
    void resizeEvent(QResizeEvent* /*event*/) override {
        setViewport(rect());
        update();
    }
    // The plot keeps its mouse events from its parents (WA_NoMousePropagation): a request for a
    // context menu goes on to the view, and from there to the window.
    void contextMenuEvent(QContextMenuEvent* event) override {
        QWidget* view = parentWidget();
        QContextMenuEvent up(event->reason(), mapTo(view, event->pos()), event->globalPos(),
                             event->modifiers());
        QCoreApplication::sendEvent(view, &up);
        event->setAccepted(up.isAccepted());
    }
};

// A caption laid out once and kept as a picture: the title above the plot and the X axis
// caption below it are drawn at every paint, their text shaped only when it changes.
class CachedText : public QCPTextElement {
public:
    explicit CachedText(QCustomPlot* plot) : QCPTextElement(plot) {}

    void Set(const QString& text, const QFont& font) {
        if (valid_ && text == text_ && font == font_)
            return;
        valid_ = true;
        text_ = text;
        font_ = font;
        setText(text);
        setFont(font);
        const QFontMetrics metrics(font);
        const QSize size = text.isEmpty() ? QSize(0, metrics.height())
                                          : metrics.boundingRect(QRect(), Qt::TextDontClip, text)
                                                .size()
                                                .expandedTo(QSize(1, metrics.height()));
        picture_ = QPixmap(size.expandedTo(QSize(1, 1)));
        picture_.fill(Qt::transparent);
        QPainter painter(&picture_);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(picture_.rect(), Qt::AlignCenter | Qt::TextDontClip, text);
        size_ = size;
    }

protected:
    QSize minimumOuterSizeHint() const override {
        return size_ +
               QSize(mMargins.left() + mMargins.right(), mMargins.top() + mMargins.bottom());
    }
    QSize maximumOuterSizeHint() const override {
        return QSize(QWIDGETSIZE_MAX, minimumOuterSizeHint().height());
    }
    void draw(QCPPainter* painter) override {
        if (text_.isEmpty())
            return;
        const QRect target(
            QPoint(mRect.center().x() - size_.width() / 2, mRect.center().y() - size_.height() / 2),
            size_);
        painter->drawPixmap(target.topLeft(), picture_);
    }

private:
    bool valid_ = false;
    QString text_;
    QFont font_;
    QPixmap picture_;
    QSize size_{0, 0};
};

// A graph that, where its visible points are denser than the plot's pixels, draws the band
// each pixel column's points span instead of the line through all of them: the same picture as
// the line (which would cover that band), filled row by row rather than stroked point to point
// up and down the columns, which costs several times more for a noisy day of samples.
class DenseGraph : public QCPGraph {
public:
    DenseGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

    bool Dense = false;

    // A circular marker of the given colour and diameter, drawn once and then stamped at each
    // point (an antialiased ellipse per point costs a path each).
    const QCPScatterStyle& Marker(const QColor& colour, int size) {
        if (markerColour_ != colour || markerSize_ != size ||
            marker_.shape() != QCPScatterStyle::ssPixmap) {
            markerColour_ = colour;
            markerSize_ = size;
            const int side = size + 2;
            QPixmap picture(side, side);
            picture.fill(Qt::transparent);
            {
                QPainter painter(&picture);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(QPen(colour, 1.0));
                painter.setBrush(colour);
                painter.drawEllipse(QPointF(side / 2.0, side / 2.0), size / 2.0, size / 2.0);
            }
            marker_ = QCPScatterStyle(picture);
        }
        return marker_;
    }

protected:
    void draw(QCPPainter* painter) override {
        if (!Dense) {
            QCPGraph::draw(painter);
            return;
        }
        const QCPAxis* keys = keyAxis();
        const QCPAxis* values = valueAxis();
        if (keys == nullptr || values == nullptr || mDataContainer->isEmpty())
            return;
        const QRect area = keys->axisRect()->rect();
        const int columns = area.width();
        if (columns <= 0)
            return;
        // Each column's highest and lowest pixel, joined to the previous point so the band
        // has no gaps; values beyond the axis are held just outside it.
        top_.assign(static_cast<size_t>(columns), std::numeric_limits<int>::max());
        bottom_.assign(static_cast<size_t>(columns), std::numeric_limits<int>::min());
        const QCPRange range = keys->range();
        const double lowY = area.top() - 2.0;
        const double highY = area.bottom() + 2.0;
        // Both axes are linear: pixel = origin + scale * value, worked out once.
        const double x0 = keys->coordToPixel(0.0) - area.left();
        const double xScale = keys->coordToPixel(1.0) - area.left() - x0;
        const double y0 = values->coordToPixel(0.0);
        const double yScale = values->coordToPixel(1.0) - y0;
        bool havePrevious = false;
        int previousY = 0;
        int previousColumn = -1;
        for (auto it = mDataContainer->findBegin(range.lower),
                  end = mDataContainer->findEnd(range.upper);
             it != end; ++it) {
            const double x = x0 + xScale * it->key;
            const double yf = std::clamp(y0 + yScale * it->value, lowY, highY);
            if (!std::isfinite(x) || !std::isfinite(yf))
                continue;
            const int column = static_cast<int>(std::floor(x));
            const int y = static_cast<int>(std::lround(yf));
            if (column >= 0 && column < columns) {
                const auto c = static_cast<size_t>(column);
                top_[c] = std::min(top_[c], y);
                bottom_[c] = std::max(bottom_[c], y);
                if (havePrevious && std::abs(column - previousColumn) <= 1) {
                    top_[c] = std::min(top_[c], previousY);
                    bottom_[c] = std::max(bottom_[c], previousY);
                }
            }
            havePrevious = true;
            previousY = y;
            previousColumn = column;
        }
        // Row by row, the runs of columns whose band covers the row: a noisy stretch is one
        // long run per row, a quiet line a short one per step.
        int firstRow = std::numeric_limits<int>::max();
        int lastRow = std::numeric_limits<int>::min();
        for (int c = 0; c < columns; ++c) {
            firstRow = std::min(firstRow, top_[static_cast<size_t>(c)]);
            lastRow = std::max(lastRow, bottom_[static_cast<size_t>(c)]);
        }
        runs_.clear();
        const int* tops = top_.data();
        const int* bottoms = bottom_.data();
        for (int y = firstRow; y <= lastRow; ++y) {
            int c = 0;
            while (c < columns) {
                if (tops[c] > y || bottoms[c] < y) {
                    ++c;
                    continue;
                }
                const int start = c;
                while (c < columns && tops[c] <= y && bottoms[c] >= y)
                    ++c;
                runs_.append(QRect(area.left() + start, y, c - start, 1));
            }
        }
        painter->setAntialiasing(false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(pen().color());
        painter->drawRects(runs_);
    }

private:
    std::vector<int> top_;
    std::vector<int> bottom_;
    QVector<QRect> runs_;
    QCPScatterStyle marker_;
    QColor markerColour_;
    int markerSize_ = 0;
};

} // namespace

// Ticks every `Unit`, thinned to a multiple of it where they would come closer than
// `MinSpacing` pixels; sub-ticks every `MinorUnit` (0: none) on the same terms.
class TChartView::UnitTicker : public QCPAxisTicker {
public:
    UnitTicker(QCPAxis& axis, double minSpacing, double minMinorSpacing)
        : axis_(axis), minSpacing_(minSpacing), minMinorSpacing_(minMinorSpacing) {
        setTickOrigin(0.0);
    }

    double Unit = 1.0;
    double MinorUnit = 0.0;
    double LastStep = 0.0;
    double LastMinorStep = 0.0;

protected:
    double getTickStep(const QCPRange& range) override {
        const double size = range.size();
        pixelsPerUnit_ = size > 0.0 ? PixelLength() / size : 0.0;
        if (!(Unit > 0.0) || !(size > 0.0) || !std::isfinite(size))
            return LastStep = QCPAxisTicker::getTickStep(range);
        const double spacing = Unit * pixelsPerUnit_;
        double step = Unit;
        if (spacing < minSpacing_)
            step = Unit * NiceMultiple(minSpacing_ / std::max(spacing, 1e-300));
        // Never more than a few thousand ticks, whatever the pixels say.
        if (size / step > 4096.0)
            step = Unit * NiceMultiple(size / Unit / 4096.0);
        return LastStep = step;
    }

    int getSubTickCount(double tickStep) override {
        LastMinorStep = 0.0;
        if (!(MinorUnit > 0.0) || MinorUnit >= tickStep * (1.0 - 1e-12))
            return 0;
        // The finest division of the step into multiples of the minor unit that stays legible.
        const double exact = std::round(tickStep / MinorUnit);
        for (double parts : {exact, 10.0, 5.0, 4.0, 2.0}) {
            if (parts < 2.0 || parts > exact || parts > 100.0)
                continue;
            const double minor = tickStep / parts;
            if (IsMultipleOf(minor, MinorUnit) && minor * pixelsPerUnit_ >= minMinorSpacing_) {
                LastMinorStep = minor;
                return static_cast<int>(parts) - 1;
            }
        }
        return 0;
    }

private:
    double PixelLength() const {
        const QCPAxisRect* rect = axis_.axisRect();
        const bool horizontal = axis_.orientation() == Qt::Horizontal;
        const int length = horizontal ? rect->width() : rect->height();
        if (length > 1)
            return length;
        // Not laid out yet: the plot's own size less the fixed margins.
        const QRect viewport = axis_.parentPlot()->viewport();
        return std::max(1, horizontal ? viewport.width() - 80 : viewport.height() - 80);
    }

    QCPAxis& axis_;
    double minSpacing_;
    double minMinorSpacing_;
    double pixelsPerUnit_ = 0.0;
};

// ---- Series ----

TChartSeries::TChartSeries(QCPGraph* graph) : graph_(graph) {}

void TChartSeries::ClearPoints() {
    graph_->data()->clear();
}

void TChartSeries::Reserve(int count) {
    QVector<QCPGraphData> room;
    room.reserve(std::max(0, count));
    room.fill(QCPGraphData(0.0, 0.0), std::max(0, count)); // touch it now, not while recording
    room.resize(0);                                        // keeps the capacity
    graph_->data()->set(room, true);                       // shares the storage; ours goes
}

void TChartSeries::AddSingleXYPoint(double SingleXPoint, double SingleYPoint) {
    graph_->data()->add(QCPGraphData(SingleXPoint, SingleYPoint));
}

int TChartSeries::PointCount() const {
    return graph_->data()->size();
}

double TChartSeries::PointX(int index) const {
    return graph_->data()->at(index)->key;
}

double TChartSeries::PointY(int index) const {
    return graph_->data()->at(index)->value;
}

// ---- Pane ----

TChartPane::TChartPane(QCustomPlot& plot, int seriesCount) {
    for (int i = 0; i < seriesCount; ++i) {
        auto* graph = new DenseGraph(plot.xAxis, plot.yAxis); // owned by the plot
        graph->setName(QStringLiteral("Serie %1").arg(i));
        graph->setLineStyle(QCPGraph::lsLine);
        auto series = std::unique_ptr<TChartSeries>(new TChartSeries(graph));
        series->LegendText = QStringLiteral("Curva %1").arg(i + 1);
        Series.items_.push_back(std::move(series));
    }
}

// ---- View ----

TChartView::TChartView(QWidget* parent, int seriesCount)
    : QWidget(parent), plot_(new DirectPlot(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent); // the plot covers it
    plot_->setObjectName(QStringLiteral("Plot"));
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    plot_->setPlottingHint(QCP::phCacheLabels, true);
    plot_->setBackground(QBrush(Qt::white));
    plot_->legend->setVisible(false);

    // Title above the plot, the plot, the X axis caption below it, inside the pane margins.
    QCPLayoutGrid* layout = plot_->plotLayout();
    layout->insertRow(0);
    auto* title = new CachedText(plot_); // owned by the layout
    layout->addElement(0, 0, title);
    layout->insertRow(2);
    caption_ = new CachedText(plot_);
    caption_->setMargins(QMargins(0, 0, 0, 4));
    layout->addElement(2, 0, caption_);
    layout->setRowSpacing(0);
    layout->setRowStretchFactors({0.001, 1.0, 0.001});

    QCPAxisRect* rect = plot_->axisRect();
    rect->setAutoMargins(QCP::msBottom);

    xTicker_ = QSharedPointer<UnitTicker>::create(*plot_->xAxis, MinLabelSpacingX, MinGridSpacing);
    yTicker_ = QSharedPointer<UnitTicker>::create(*plot_->yAxis, MinLabelSpacingY, MinGridSpacing);
    yGridTicker_ =
        QSharedPointer<UnitTicker>::create(*plot_->yAxis2, MinGridSpacing, MinMinorGridSpacing);
    plot_->xAxis->setTicker(xTicker_);
    plot_->yAxis->setTicker(yTicker_);
    plot_->yAxis2->setTicker(yGridTicker_);

    // Solid hairlines: a dotted pen costs a stroker pass per line.
    const QPen gridPen(QColor(200, 200, 200), 0, Qt::SolidLine);
    const QPen minorGridPen(QColor(232, 232, 232), 0, Qt::SolidLine);
    QCPAxis* x = plot_->xAxis;
    x->setNumberFormat(QStringLiteral("g"));
    x->setNumberPrecision(6);
    x->setTickLength(4, 0);
    x->setSubTicks(false);
    x->setLabelPadding(2);
    x->grid()->setPen(gridPen);
    x->grid()->setSubGridVisible(false);
    QCPAxis* y = plot_->yAxis;
    y->setNumberFormat(QStringLiteral("g"));
    y->setNumberPrecision(6);
    y->setTickLength(5, 0);
    y->setSubTicks(false);
    y->setTickLabelPadding(3);
    y->grid()->setVisible(false); // the Y grid is drawn from its own distances (yAxis2)
    // The right axis draws nothing but the Y grid.
    QCPAxis* yGrid = plot_->yAxis2;
    yGrid->setVisible(true);
    yGrid->setTicks(false);
    yGrid->setTickLabels(false);
    yGrid->setSubTicks(true);
    yGrid->setTickLength(0, 0);
    yGrid->setSubTickLength(0, 0);
    yGrid->setBasePen(Qt::NoPen);
    yGrid->grid()->setPen(gridPen);
    yGrid->grid()->setSubGridPen(minorGridPen);
    yGrid->grid()->setZeroLinePen(Qt::NoPen);
    x->grid()->setZeroLinePen(Qt::NoPen);
    plot_->xAxis2->setVisible(false);

    auto pane = std::unique_ptr<TChartPane>(new TChartPane(*plot_, seriesCount));
    pane->title_ = title;
    Panes.items_.push_back(std::move(pane));
    Apply();
    plot_->installEventFilter(this); // the mouse goes to the hooks (see the header)
}

TChartView::~TChartView() = default;

void TChartView::BeginUpdate() {
    ++updateDepth_;
}

void TChartView::EndUpdate() {
    if (updateDepth_ > 0)
        --updateDepth_;
    if (updateDepth_ > 0)
        return;
    if (isVisible())
        Redraw();
    else
        pending_ = true;
}

void TChartView::Apply() {
    TChartPane& pane = Panes[0];
    const QFont base = font();
    QFont titleFont = base;
    titleFont.setBold(true);

    // Pane margins, title, Y axis width.
    QCPLayoutGrid* layout = plot_->plotLayout();
    layout->setAutoMargins(QCP::msNone);
    layout->setMargins(QMargins(pane.MarginLeft, pane.MarginTop, pane.MarginRight, 0));
    static_cast<CachedText*>(pane.title_)->Set(pane.Title, titleFont);
    QCPAxisRect* rect = plot_->axisRect();
    // The bottom margin is the layout's own (room for the X labels): kept, so that the plot's
    // size stays what the last drawing laid out and the next ticks are worked out for it.
    rect->setMargins(QMargins(pane.YAxisWidth, AxisRectTopMargin, AxisRectRightMargin,
                              rect->margins().bottom()));

    // X axis.
    QCPAxis* x = plot_->xAxis;
    static_cast<CachedText*>(caption_)->Set(pane.XAxisCaption, base);
    x->setTickLabelFont(base);
    xTicker_->Unit = pane.XMajorUnit;
    xTicker_->MinorUnit = pane.XGrid.MinorDistance < pane.XMajorUnit ? pane.XGrid.MinorDistance : 0;
    x->setSubTicks(xTicker_->MinorUnit > 0.0);
    x->grid()->setSubGridVisible(pane.XGrid.Visible && xTicker_->MinorUnit > 0.0);
    x->grid()->setVisible(pane.XGrid.Visible);
    SetAxisEnds(*x, pane.Range.RangeFrom, pane.Range.RangeTo);

    // Y axis from series 0; every series is drawn on it.
    QCPAxis* y = plot_->yAxis;
    y->setTickLabelFont(base);
    y->setTickPen(QPen(pane.YTickColor));
    yTicker_->Unit = pane.YMajorUnit;
    const double minimum = pane.Series.Count() > 0 ? pane.Series[0].Minimum : 0.0;
    const double maximum = pane.Series.Count() > 0 ? pane.Series[0].Maximum : 1.0;
    SetAxisEnds(*y, minimum, maximum);
    QCPAxis* yGrid = plot_->yAxis2;
    yGrid->setRangeReversed(y->rangeReversed());
    yGrid->setRange(y->range());
    yGridTicker_->Unit = pane.YGrid.MajorDistance;
    yGridTicker_->MinorUnit =
        pane.YGrid.MinorDistance < pane.YGrid.MajorDistance ? pane.YGrid.MinorDistance : 0.0;
    yGrid->grid()->setVisible(pane.YGrid.Visible);
    yGrid->grid()->setSubGridVisible(pane.YGrid.Visible && yGridTicker_->MinorUnit > 0.0);

    // Series: line and markers; markers only where the visible points are no denser than the
    // plot's pixels.
    const double width = std::max(1, rect->width() > 1 ? rect->width() : plot_->width() - 80);
    const QCPRange visible = x->range();
    for (int i = 0; i < pane.Series.Count(); ++i) {
        TChartSeries& series = pane.Series[i];
        QCPGraph* graph = series.graph_;
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setPen(QPen(series.LineColor, 0)); // cosmetic: one pixel at any scale, no stroker
        const auto data = graph->data();
        const auto begin = data->findBegin(visible.lower, false);
        const auto end = data->findEnd(visible.upper, false);
        const double shown = static_cast<double>(end - begin);
        series.markersDrawn_ = series.MarkerSize > 0 && shown <= width;
        // Denser than the pixels the line is a column of strokes per pixel: smoothing its edges
        // shows nothing and costs most of the drawing.
        graph->setAntialiased(shown <= width);
        static_cast<DenseGraph*>(graph)->Dense = shown > width;
        if (series.markersDrawn_)
            graph->setScatterStyle(
                static_cast<DenseGraph*>(graph)->Marker(series.Color, series.MarkerSize));
        else
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    }
}

void TChartView::Redraw() {
    Apply();
    if (plot_->isVisible())
        plot_->repaint(); // drawn now, into the window
    else
        plot_->update();
    pending_ = false;
    ++drawCount_;
}

void TChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    plot_->setGeometry(rect());
    if (isVisible() && updateDepth_ == 0)
        Redraw(); // ticks and markers for the new size
}

void TChartView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (pending_ && updateDepth_ == 0)
        Redraw();
}

double TChartView::DrawnLeft() const {
    const QCPAxis* x = plot_->xAxis;
    return x->rangeReversed() ? x->range().upper : x->range().lower;
}

double TChartView::DrawnRight() const {
    const QCPAxis* x = plot_->xAxis;
    return x->rangeReversed() ? x->range().lower : x->range().upper;
}

double TChartView::DrawnBottom() const {
    const QCPAxis* y = plot_->yAxis;
    return y->rangeReversed() ? y->range().upper : y->range().lower;
}

double TChartView::DrawnTop() const {
    const QCPAxis* y = plot_->yAxis;
    return y->rangeReversed() ? y->range().lower : y->range().upper;
}

double TChartView::XTickStep() const {
    return xTicker_->LastStep;
}

double TChartView::YTickStep() const {
    return yTicker_->LastStep;
}

double TChartView::YGridStep() const {
    return yGridTicker_->LastStep;
}

double TChartView::YMinorGridStep() const {
    return yGridTicker_->LastMinorStep;
}

// ---- The mouse ----

double TChartView::KeyAt(int x) const {
    return plot_->xAxis->pixelToCoord(static_cast<double>(x));
}

bool TChartView::InPlotArea(QPoint at) const {
    const QRect area = plot_->axisRect()->rect();
    return area.width() > 1 && area.contains(at);
}

QString TChartView::ToolTipAt(QPoint at) const {
    if (!HoverText || !InPlotArea(at))
        return {};
    return HoverText(KeyAt(at.x()));
}

bool TChartView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == plot_ && PlotMouseEvent(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

// The plot's mouse events (the plot covers the view, so its coordinates are the view's).
// True when the event is used up here.
bool TChartView::PlotMouseEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Wheel: {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        // A wheel notch is 120; a touchpad or a fine wheel sends less per event.
        const double steps = wheel->angleDelta().y() / 120.0;
        if (OnWheel && !dragging_ && steps != 0.0)
            OnWheel(KeyAt(qRound(wheel->position().x())), steps);
        return true; // the view's wheel: never scrolls what holds the window
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || dragging_)
            return false;
        if (OnDragStart && OnDragStart()) {
            dragging_ = true;
            dragFromX_ = qRound(mouse->position().x());
            plot_->setCursor(Qt::ClosedHandCursor);
            QToolTip::hideText();
        }
        return dragging_;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!dragging_)
            return false;
        if (!(mouse->buttons() & Qt::LeftButton)) { // released where the view did not see it
            EndDrag();
            return true;
        }
        if (OnDrag)
            OnDrag(KeyAt(qRound(mouse->position().x())) - KeyAt(dragFromX_));
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!dragging_ || mouse->button() != Qt::LeftButton)
            return false;
        EndDrag();
        return true;
    }
    case QEvent::Hide:
        if (dragging_)
            EndDrag();
        return false;
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = dragging_ ? QString() : ToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Shown until the pointer leaves its column, so the next one comes at once.
            QToolTip::showText(help->globalPos(), text, plot_, QRect(help->pos(), QSize(1, 1)));
        }
        return true;
    }
    default:
        return false;
    }
}

void TChartView::EndDrag() {
    dragging_ = false;
    plot_->unsetCursor();
    if (OnDragEnd)
        OnDragEnd();
}
