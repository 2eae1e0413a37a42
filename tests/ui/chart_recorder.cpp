// A chart window recording until it is killed: the test's stand-in for a program that dies
// during an overnight acquisition. Starts an acquisition in the acquisition window with its
// journal in the folder given, stores one sample at a time, and after each one prints
// "<index> <primary> <secondary> <time ms>" on its own line. Never ends by itself.
#include "charts/Grafico.h"
#include "model/SensorTables.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: chart_recorder <recordings folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path folder = argv[1];
    SensorTables tables;
    tables.SetupWords[6] = 500;
    int64_t now = 1796977800000;
    ChartSources sources;
    sources.OutputIndex = [] { return 1; };
    sources.OutputText = [] { return QStringLiteral("Portata [m³/h]"); };
    sources.NowMs = [&now] { return now; };
    sources.RecordingsFolder = [folder] { return folder; };
    TGraficoForm window(tables, sources);
    window.SpeedButton2Click();
    window.Timer2.stop(); // the samples come from here
    for (int32_t i = 0;; ++i) {
        const int32_t primary = (i * 7919) % 65536;
        const int32_t secondary = 200 + i % 100;
        window.AddSample(primary, secondary);
        std::printf("%d %d %d %lld\n", i, window.PrimarySample(i), window.SecondarySample(i),
                    static_cast<long long>(window.SampleTimeMs(i)));
        std::fflush(stdout);
        now += 1000;
        if (i + 1 == TChartForm::Capacity)
            break;
    }
    return 0;
}
