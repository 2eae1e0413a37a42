#pragma once
// Both chart windows on tables of the test's own, with the output type, its text and the
// clock the samples are stamped with in the test's hands.
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "model/SensorTables.h"
#include "support/UiTestSupport.h"

#include <cstdint>

struct ChartTestWindows {
    explicit ChartTestWindows(int64_t startMs) : nowMs(startMs) {}

    ChartSources Sources() {
        ChartSources s;
        s.OutputIndex = [this] { return outputIndex; };
        s.OutputText = [this] { return outputText; };
        s.NowMs = [this] { return nowMs; };
        return s;
    }

    QApplication& app = UiApp();
    SensorTables tables;
    int outputIndex = 0;
    QString outputText = QStringLiteral("Velocità Flusso [mt/sec]");
    int64_t nowMs;
    TGraficoForm grafico{tables, Sources()};
    TDebugForm debugForm{tables, Sources()};
};
