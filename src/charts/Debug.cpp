#include "charts/Debug.h"

#include "model/Format.h"
#include "model/SensorTables.h"
#include "runtime/Look.h"

#include <utility>

TDebugForm::TDebugForm(SensorTables& tables, ChartSources sources, QWidget* mainWindow)
    : TChartForm("TDebugForm", tables, std::move(sources), mainWindow) {
    setWindowTitle(QStringLiteral("DebugForm"));
    SetPanelColor(*this, VextorColors::ButtonFace());
    AdvGDIPChartView1.setObjectName(QStringLiteral("AdvGDIPChartView1"));
    TChartPane& pane = AdvGDIPChartView1.Panes[0];
    pane.YGrid.MinorDistance = 1.0;
    pane.YGrid.MajorDistance = 2.0;
    TChartSeries& diagnostic = pane.Series[1];
    diagnostic.Color = QColor(0, 0, 255);
    diagnostic.LineColor = QColor(0, 130, 207);
    for (int i = 0; i < pane.Series.Count(); ++i)
        pane.Series[i].Reserve(Capacity); // a whole day of points, room made now
    PlaceChartsForBar();
    SetupMouse();
}

RecordingCsvLayout TDebugForm::CsvLayout() const {
    RecordingCsvLayout layout = CsvTitles("Csv04");
    // As the chart shows them: on the output's scale, the diagnostic word as rescaled.
    if (OutputIndex() == 0) {
        layout.Primary = CsvValueScale{1, 2};
        layout.Secondary = CsvValueScale{1, 2};
    } else {
        layout.Primary = CsvValueScale{1, 0};
        layout.Secondary = CsvValueScale{10, 0};
    }
    return layout;
}

QString TDebugForm::RecordingName() const {
    return QStringLiteral("Debug");
}

void TDebugForm::Retranslate() {
    RetranslateBase();
    // No texts of its own change; the title follows the output type's text.
    AdvGDIPChartView1.BeginUpdate();
    AdvGDIPChartView1.Panes[0].Title = OutputText();
    AdvGDIPChartView1.EndUpdate();
}

std::vector<TChartView*> TDebugForm::Views() {
    return {&AdvGDIPChartView1};
}

void TDebugForm::PlaceCharts(int bottom) {
    AdvGDIPChartView1.setGeometry(0, BarHeight, OuterWidth, std::max(0, bottom - BarHeight));
}

void TDebugForm::AddSample(int32_t primary, int32_t secondary) {
    // 0..4000 maps to 0..1200, truncating toward zero; 65535 gives 19660.
    StoreSample(primary, secondary * 1200 / 4000);
}

void TDebugForm::TakeSample() {
    const int output = OutputIndex() == 0 ? 0 : 1;
    AddSample(tables_.StatusWords[static_cast<size_t>(output)], tables_.StatusWords[9]);
}

void TDebugForm::FillCurves() {
    const bool velocity = OutputIndex() == 0;
    TChartPane& pane = AdvGDIPChartView1.Panes[0];
    pane.Title = OutputText();
    TChartSeries& output = pane.Series[0];
    TChartSeries& diagnostic = pane.Series[1];
    output.ChartType = ctXYLine;
    diagnostic.ChartType = ctXYLine;
    const int32_t* primary = PrimaryStorage();
    const int32_t* secondary = SecondaryStorage();
    if (velocity) {
        SyncCurve(output, output_, 0, [primary](int32_t i) { return primary[i] * 0.01; });
        SyncCurve(diagnostic, diagnostic_, 0,
                  [secondary](int32_t i) { return secondary[i] * 0.01; });
    } else {
        SyncCurve(output, output_, 1, [primary](int32_t i) { return double(primary[i]); });
        SyncCurve(diagnostic, diagnostic_, 1,
                  [secondary](int32_t i) { return secondary[i] * 10.0; });
    }
    for (TChartSeries* series : {&output, &diagnostic}) {
        series->Maximum = FullScale();
        series->Minimum = 0;
    }
}

QStringList TDebugForm::SampleValues(int32_t index) const {
    // As FillCurves scales them: in hundredths for a velocity, else the output as is and the
    // diagnostic times ten.
    const QString title = AdvGDIPChartView1.Panes[0].Title;
    const bool velocity = OutputIndex() == 0;
    const int32_t diagnostic = SecondarySample(index);
    return {(title.isEmpty() ? TipText("Tip03") : title) + QStringLiteral(": ") +
                QString::fromStdString(FormatScaled(PrimarySample(index), velocity ? 2 : 0)),
            TipText("Tip05") + QStringLiteral(": ") +
                (velocity ? QString::fromStdString(FormatScaled(diagnostic, 2))
                          : QString::number(static_cast<int64_t>(diagnostic) * 10))};
}
