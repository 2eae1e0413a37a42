#pragma once
// The debug chart window: a service variant of the acquisition chart window that records the
// output quantity together with the diagnostic measurement StatusWords[9] (rescaled by
// 1200/4000) and plots both in one chart on one Y scale. Its acquisition is its own. Reached only
// from the acquisition window's "DEBUG" button; its texts are the same in every language.
#include "charts/ChartForm.h"
#include "runtime/ChartView.h"

#include <cstdint>

class TDebugForm : public TChartForm {
public:
    TDebugForm(SensorTables& tables, ChartSources sources, QWidget* mainWindow = nullptr);

    void Retranslate() override;

    TChartView AdvGDIPChartView1{this, 2}; // series 0 output, series 1 diagnostic

protected:
    std::vector<TChartView*> Views() override;
    void PlaceCharts(int bottom) override;
    void TakeSample() override;
    void FillCurves() override;
    RecordingCsvLayout CsvLayout() const override;
    QString RecordingName() const override;
    QStringList SampleValues(int32_t index) const override;

private:
    // Stores the output and the diagnostic word, the latter as word * 1200 / 4000.
    void AddSample(int32_t primary, int32_t secondary);

    CurveState output_;
    CurveState diagnostic_;
};
