// Reading the chart with the mouse: wheel zoom and drag pan of the time axis on every chart of
// the window, and the tool tip of the sample under the pointer (see ChartForm.h).
#include "charts/ChartForm.h"

#include "model/Format.h"
#include "platform/Regional.h"
#include "runtime/Translation.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr int64_t Lowest = std::numeric_limits<int32_t>::min();
constexpr int64_t Highest = std::numeric_limits<int32_t>::max();

// The range from..to (either order) moved as a whole, if needed, to lie in the 32-bit range.
// Its width is at most 2^32 - 1, so it always fits.
TChartRange Fitted(int64_t from, int64_t to) {
    const int64_t low = std::min(from, to);
    const int64_t high = std::max(from, to);
    int64_t shift = 0;
    if (low < Lowest)
        shift = Lowest - low;
    else if (high > Highest)
        shift = Highest - high;
    return {static_cast<int32_t>(from + shift), static_cast<int32_t>(to + shift)};
}

struct Zoom {
    TChartRange Range;
    bool Changed = false; // the width changed
    bool Limited = false; // a limit held the width
};

// The range scaled by 1 / WheelZoom^steps about `key`, kept between the width limits.
Zoom Zoomed(const TChartRange& range, double key, double steps) {
    const int64_t from = range.RangeFrom;
    const int64_t width = static_cast<int64_t>(range.RangeTo) - from; // negative: backwards
    const int64_t sign = width < 0 ? -1 : 1;
    const int64_t span = width < 0 ? -width : width;

    const double wanted = static_cast<double>(span) / std::pow(TChartForm::WheelZoom, steps);
    // Held below twice the ceiling first, so the rounding cannot overflow.
    const auto target =
        static_cast<int64_t>(std::llround(std::clamp(wanted, 0.0, 2.0 * TChartForm::MaxMouseSpan)));
    int64_t newSpan = 0;
    if (steps > 0.0) // zooming in: down to the floor, never wider
        newSpan =
            std::clamp<int64_t>(target, std::min<int64_t>(span, TChartForm::MinMouseSpan), span);
    else // zooming out: up to the ceiling, never narrower; an empty range opens to the floor
        newSpan = std::max<int64_t>(
            std::clamp<int64_t>(target, std::min<int64_t>(span, TChartForm::MaxMouseSpan),
                                std::max<int64_t>(span, TChartForm::MaxMouseSpan)),
            TChartForm::MinMouseSpan);

    Zoom zoom;
    zoom.Range = range;
    // Held by a limit, or already at the one it moves toward.
    zoom.Limited = newSpan != target || (steps > 0.0 && span <= TChartForm::MinMouseSpan) ||
                   (steps < 0.0 && span >= TChartForm::MaxMouseSpan);
    if (newSpan == span)
        return zoom;
    // Where the key lies across the range (0 at RangeFrom, 1 at RangeTo) stays where it lies;
    // without a key, the middle stays.
    const double anchor = std::isfinite(key) ? key : static_cast<double>(from) + width / 2.0;
    const double at = std::isfinite(key) && span != 0
                          ? (key - static_cast<double>(from)) / static_cast<double>(width)
                          : 0.5;
    const double newFrom = anchor - std::clamp(at, -1.0, 2.0) * static_cast<double>(sign * newSpan);
    const auto roundedFrom =
        static_cast<int64_t>(std::llround(std::clamp(newFrom, 2.0 * Lowest, 2.0 * Highest)));
    zoom.Range = Fitted(roundedFrom, roundedFrom + sign * newSpan);
    zoom.Changed = true;
    return zoom;
}

} // namespace

void TChartForm::SetupMouse() {
    for (TChartView* view : Views()) {
        view->OnWheel = [this](double key, double steps) { WheelView(key, steps); };
        view->OnDragStart = [this] { return BeginDragView(); };
        view->OnDrag = [this](double keyDelta) { DragView(keyDelta); };
        view->OnDragEnd = [this] { EndDragView(); };
        view->HoverText = [this](double key) { return SampleTip(key); };
    }
}

void TChartForm::WheelView(double key, double steps) {
    if (acquiring_ || !std::isfinite(steps))
        return;
    wheelSteps_ = std::clamp(wheelSteps_ + steps, -20.0, 20.0);
    const std::vector<TChartView*> views = Views();
    std::vector<Zoom> zooms;
    bool changed = false;
    bool limited = false;
    for (TChartView* view : views) {
        zooms.push_back(Zoomed(view->Panes[0].Range, key, wheelSteps_));
        changed = changed || zooms.back().Changed;
        limited = limited || zooms.back().Limited;
    }
    if (!changed) {
        if (limited)
            wheelSteps_ = 0.0; // at a limit: nothing is saved up against it
        return;
    }
    wheelSteps_ = 0.0;
    for (size_t i = 0; i < views.size(); ++i) {
        views[i]->BeginUpdate();
        views[i]->Panes[0].Range = zooms[i].Range;
        views[i]->EndUpdate();
    }
}

bool TChartForm::BeginDragView() {
    if (acquiring_)
        return false;
    dragFrom_.clear();
    for (TChartView* view : Views())
        dragFrom_.push_back(view->Panes[0].Range);
    wheelSteps_ = 0.0;
    return true;
}

void TChartForm::DragView(double keyDelta) {
    const std::vector<TChartView*> views = Views();
    if (acquiring_ || dragFrom_.size() != views.size() || !std::isfinite(keyDelta))
        return;
    // The grabbed key follows the pointer: the range moves against it.
    const auto shift =
        static_cast<int64_t>(-std::llround(std::clamp(keyDelta, 2.0 * Lowest, 2.0 * Highest)));
    for (size_t i = 0; i < views.size(); ++i) {
        const TChartRange& start = dragFrom_[i];
        views[i]->BeginUpdate();
        views[i]->Panes[0].Range = Fitted(start.RangeFrom + shift, start.RangeTo + shift);
        views[i]->EndUpdate();
    }
}

void TChartForm::EndDragView() {
    dragFrom_.clear();
}

QString TChartForm::TipText(std::string_view key) {
    return Translation().Text("TGraficoForm", key);
}

QString TChartForm::SampleTip(double key) const {
    if (!(key >= -0.5) || !(key < sampleCount_ - 0.5))
        return {};
    const auto index = static_cast<int32_t>(std::lround(key));
    if (index < 0 || index >= sampleCount_)
        return {};
    QStringList lines;
    lines << TipText("Tip01") + QStringLiteral(": ") + QString::number(index);
    lines << TipText("Tip02") + QStringLiteral(": ") +
                 DateTimeToStr(QDateTime::fromMSecsSinceEpoch(SampleTimeMs(index)));
    lines << SampleValues(index);
    return lines.join(QLatin1Char('\n'));
}
