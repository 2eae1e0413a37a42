#pragma once
// The acquisition chart window: records the output quantity (flow velocity or flow, by the
// output type) and the temperature once a second for up to 24 hours and plots them in two
// stacked charts against the seconds since "Start ADQ". Shown from the main window's "Grafico";
// closing it only hides it, and an acquisition goes on meanwhile.
//
// The reply dispatch hands it the four words of every good 0x70 frame (SampleWords) and adds
// the first two as a sample (AddSample) while an acquisition runs.
#include "charts/ChartForm.h"
#include "runtime/ChartView.h"

#include <array>
#include <cstdint>
#include <functional>

class TGraficoForm : public TChartForm {
public:
    static constexpr int TopChartHeight = 320;

    TGraficoForm(SensorTables& tables, ChartSources sources, QWidget* mainWindow = nullptr);

    // The four words of the latest 0x70 frame, zero-extended.
    std::array<int32_t, 4> SampleWords{};
    // Stores one sample pair while an acquisition runs; never redraws (the next tick does).
    void AddSample(int32_t primary, int32_t secondary);

    void SpeedButton10Click(); // "DEBUG": the debug chart window
    // Shows the debug chart window; set once it exists.
    std::function<void()> ShowDebugWindow;

    void Retranslate() override;

    TChartView AdvGDIPChartView1{this}; // output quantity
    TChartView AdvGDIPChartView2{this}; // temperature
    QPushButton SpeedButton10{&PanelBottom};

protected:
    std::vector<TChartView*> Views() override;
    void PlaceCharts(int bottom) override;
    void TakeSample() override;
    void FillCurves() override;
    RecordingCsvLayout CsvLayout() const override;
    QString RecordingName() const override;
    QStringList SampleValues(int32_t index) const override;
    void PanelBottomClick() override;
    void StatusTick() override;

private:
    CurveState top_;
    CurveState bottom_;
};
