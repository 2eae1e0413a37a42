// The chart windows with full buffers (2 x 86,400 samples each), offscreen:
//   - one sampling tick per window, including the drawing it causes, with the newest 121
//     samples in view (the ticks append the last samples of the day);
//   - drawing a window with the whole 24 hours in view (zoomed out);
//   - resident memory before and after a simulated 24-hour recording in both windows;
//   - exporting the full day as CSV and the chart as a PNG picture.
// Ends with the line
//   chart tick, full buffers: <median> ms per window, whole range <median> ms, RSS <a> -> <b> MiB
#include "SensorSim.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "model/SensorTables.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Bench {
    SensorTables tables;
    uint32_t step = 0;
    std::unique_ptr<TGraficoForm> grafico;
    std::unique_ptr<TDebugForm> debug;
    std::vector<double> tickMs;
    std::vector<double> wholeMs;
    std::vector<double> fullTickMs;

    ChartSources Sources() {
        ChartSources s;
        s.OutputIndex = [] { return 1; };
        s.OutputText = [] { return QStringLiteral("Portata Massica [Kg/h]"); };
        s.SearchStep = [] { return 0; };
        s.PortName = [] { return std::string("COM1"); };
        s.DebugSetting = [] { return 0; };
        return s;
    }

    // The simulated sensor's live values (mass flow, temperature, diagnostic word), one set
    // per second; or, for the worst case, noise over the whole scale and beyond.
    bool noisy = false;
    void NextValues() {
        ++step;
        if (noisy) {
            tables.StatusWords[1] = static_cast<int32_t>((step * 7919u) % 1200);
            tables.StatusWords[2] = static_cast<int32_t>((step * 104723u) % 2000);
            tables.StatusWords[9] = static_cast<int32_t>((step * 104729u) % 4000);
            return;
        }
        const SensorSimulator::Block words =
            SensorSimulator::ComputeStatus(SensorSimulator::DefaultParams(), 7, step);
        for (size_t i = 0; i < words.size(); ++i)
            tables.StatusWords[i] = words[i];
    }

    void Tick(TChartForm& form) {
        NextValues();
        form.Timer2Timer();
        QCoreApplication::processEvents(); // the window draws what the tick changed
    }
};

Bench* g_bench = nullptr;

void TickPerWindow(benchmark::State& state, TChartForm* form) {
    for (auto _ : state) {
        const auto start = Clock::now();
        g_bench->Tick(*form);
        g_bench->tickMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    state.counters["samples"] = form->SampleCount();
}

// Fills both windows to the full day (once), then measures a few ticks with nothing appended.
void FillToFullDay() {
    Bench& b = *g_bench;
    if (!b.grafico->Acquiring() && !b.debug->Acquiring())
        return;
    while (b.grafico->Acquiring())
        b.Tick(*b.grafico);
    while (b.debug->Acquiring())
        b.Tick(*b.debug);
    b.grafico->Timer2.stop();
    b.debug->Timer2.stop();
    for (int i = 0; i < 20; ++i) {
        for (TChartForm* form :
             {static_cast<TChartForm*>(b.grafico.get()), static_cast<TChartForm*>(b.debug.get())}) {
            const auto start = Clock::now(); // full: nothing appended, the newest redrawn
            b.Tick(*form);
            b.fullTickMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }
}

// Puts the whole day in view and draws the window; returns the milliseconds it took.
double DrawWholeDay(TChartForm* form, const std::vector<TChartView*>& views) {
    const auto start = Clock::now();
    for (TChartView* view : views) {
        view->BeginUpdate();
        view->Panes[0].Range.RangeFrom = 0;
        view->Panes[0].Range.RangeTo = TChartForm::Capacity;
        view->EndUpdate();
    }
    form->repaint();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Draws a window with the whole day in view.
void WholeRange(benchmark::State& state, TChartForm* form, std::vector<TChartView*> views) {
    FillToFullDay();
    for (auto _ : state) {
        g_bench->wholeMs.push_back(DrawWholeDay(form, views));
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Bench bench;
    g_bench = &bench;
    bench.tables.SetupWords[6] = 1000;
    bench.grafico = std::make_unique<TGraficoForm>(bench.tables, bench.Sources());
    bench.debug = std::make_unique<TDebugForm>(bench.tables, bench.Sources());
    TGraficoForm& grafico = *bench.grafico;
    TDebugForm& debug = *bench.debug;
    // Start: both windows created (buffers and curve storage allocated with them), shown and
    // drawn once, as on the screen before "Start ADQ".
    grafico.show();
    debug.show();
    QCoreApplication::processEvents();
    grafico.Replot();
    debug.Replot();
    QCoreApplication::processEvents();
    grafico.hide();
    debug.hide();
    QCoreApplication::processEvents();
    const double rssStart = ResidentMiB();

    // A day of recording in both windows, hidden (each tick appends; nothing is drawn: a hidden
    // view draws when shown), up to the last 3000 samples, which the measured ticks append with
    // the windows shown.
    constexpr int Measured = 2 * 5 * 200 + 20; // two windows, 5 repetitions of 200, warm-up
    grafico.SpeedButton2Click();
    debug.SpeedButton2Click();
    grafico.Timer2.stop();
    debug.Timer2.stop();
    for (int i = 0; i < TChartForm::Capacity - 3000; ++i) {
        bench.NextValues();
        grafico.Timer2Timer();
        debug.Timer2Timer();
    }
    grafico.show();
    debug.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < 10; ++i) { // warm-up: label caches, layouts
        bench.Tick(grafico);
        bench.Tick(debug);
    }
    static_assert(Measured < 3000);

    benchmark::RegisterBenchmark("tick/acquisition window (2 charts)", TickPerWindow, &grafico)
        ->Iterations(200)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("tick/debug window (2 curves)", TickPerWindow, &debug)
        ->Iterations(200)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "whole 24 h/acquisition window", WholeRange, &grafico,
        std::vector<TChartView*>{&grafico.AdvGDIPChartView1, &grafico.AdvGDIPChartView2})
        ->Iterations(20)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("whole 24 h/debug window", WholeRange, &debug,
                                 std::vector<TChartView*>{&debug.AdvGDIPChartView1})
        ->Iterations(20)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    FillToFullDay(); // when a filter left the zoomed-out runs out

    const double rssEnd = ResidentMiB();

    // The worst case for the zoomed-out drawing: a day of noise over the whole scale and beyond.
    bench.noisy = true;
    std::vector<double> noisyMs;
    for (TChartForm* form :
         {static_cast<TChartForm*>(&grafico), static_cast<TChartForm*>(&debug)}) {
        form->hide();
        form->SpeedButton2Click();
        form->Timer2.stop();
        while (form->Acquiring()) {
            bench.NextValues();
            form->Timer2Timer();
        }
        form->show();
        QCoreApplication::processEvents();
        const auto views = form == &grafico ? std::vector<TChartView*>{&grafico.AdvGDIPChartView1,
                                                                       &grafico.AdvGDIPChartView2}
                                            : std::vector<TChartView*>{&debug.AdvGDIPChartView1};
        for (int i = 0; i < 30; ++i) {
            noisyMs.push_back(DrawWholeDay(form, views));
        }
    }
    std::printf("whole range with a day of full-scale noise (worst case): %.3f ms\n",
                Median(noisyMs));

    // Exports of the full day: the CSV file (text and write) and the PNG picture.
    {
        QTemporaryDir folder;
        const QString csv = folder.filePath(QStringLiteral("day.csv"));
        const QString png = folder.filePath(QStringLiteral("day.png"));
        std::vector<double> csvMs;
        std::vector<double> pngMs;
        for (int i = 0; i < 7; ++i) {
            auto start = Clock::now();
            grafico.ExportCsv(csv);
            csvMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            start = Clock::now();
            grafico.ExportImage(png);
            pngMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::printf("export of %d samples: CSV %.1f ms (%.1f MiB), PNG picture %.1f ms\n",
                    grafico.SampleCount(), Median(csvMs),
                    static_cast<double>(QFileInfo(csv).size()) / (1024.0 * 1024.0), Median(pngMs));
    }
    std::printf("ticks measured from %d samples on; samples now: acquisition %d, debug %d; "
                "tick with full buffers (nothing appended) %.3f ms\n",
                TChartForm::Capacity - 3000 + 10, grafico.SampleCount(), debug.SampleCount(),
                Median(bench.fullTickMs));
    std::printf("chart tick, full buffers: %.3f ms per window, whole range %.3f ms, RSS %.1f -> "
                "%.1f MiB\n",
                Median(bench.tickMs), Median(bench.wholeMs), rssStart, rssEnd);
    return 0;
}
