#include "charts/Grafico.h"

#include "model/Format.h"
#include "model/SensorTables.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"

#include <utility>

namespace {

// The runtime's pseudo-random generator: seeded, then 0..32767 per draw.
class RuntimeRandom {
public:
    explicit RuntimeRandom(uint32_t seed) : state_(seed) {}
    int32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>((state_ >> 16) & 0x7FFFu);
    }

private:
    uint32_t state_;
};

void SetupChart(TChartView& view, const char* name, double yMinorGrid, double yMajorGrid) {
    view.setObjectName(QLatin1String(name));
    TChartPane& pane = view.Panes[0];
    pane.YGrid.MinorDistance = yMinorGrid;
    pane.YGrid.MajorDistance = yMajorGrid;
    pane.Series[0].Reserve(TChartForm::Capacity); // a whole day of points, room made now
}

} // namespace

TGraficoForm::TGraficoForm(SensorTables& tables, ChartSources sources, QWidget* mainWindow)
    : TChartForm("TGraficoForm", tables, std::move(sources), mainWindow) {
    setWindowTitle(QStringLiteral("Grafico"));
    SetPanelColor(*this, VextorColors::White);
    SetupChart(AdvGDIPChartView1, "AdvGDIPChartView1", 1.0, 2.0);
    SetupChart(AdvGDIPChartView2, "AdvGDIPChartView2", 10.0, 10.0);
    SpeedButton10.setObjectName(QStringLiteral("SpeedButton10"));
    SpeedButton10.setText(QStringLiteral("DEBUG"));
    SpeedButton10.setFocusPolicy(Qt::NoFocus);
    SpeedButton10.setGeometry(790, 6, 102, 43);
    connect(&SpeedButton10, &QPushButton::clicked, this, Guarded([this] { SpeedButton10Click(); }));
    PlaceChartsForBar();
    SetupMouse();

    // Created after a language switch: take the active language's texts now.
    TTranslation::Global().ApplyTo(*this);
    FitLabel2();
}

std::vector<TChartView*> TGraficoForm::Views() {
    return {&AdvGDIPChartView1, &AdvGDIPChartView2};
}

void TGraficoForm::PlaceCharts(int bottom) {
    AdvGDIPChartView1.setGeometry(0, BarHeight, OuterWidth, TopChartHeight);
    const int top = BarHeight + TopChartHeight;
    AdvGDIPChartView2.setGeometry(0, top, OuterWidth, std::max(0, bottom - top));
}

void TGraficoForm::AddSample(int32_t primary, int32_t secondary) {
    StoreSample(primary, secondary);
}

void TGraficoForm::TakeSample() {
    const int output = OutputIndex() == 0 ? 0 : 1; // velocity, or the flow of any other type
    AddSample(tables_.StatusWords[static_cast<size_t>(output)], tables_.StatusWords[2]);
}

void TGraficoForm::FillCurves() {
    const bool velocity = OutputIndex() == 0;
    TChartPane& topPane = AdvGDIPChartView1.Panes[0];
    TChartPane& bottomPane = AdvGDIPChartView2.Panes[0];
    topPane.Title = OutputText();
    bottomPane.Title = QStringLiteral("Temperatura [°c]");
    TChartSeries& topSeries = topPane.Series[0];
    TChartSeries& bottomSeries = bottomPane.Series[0];
    topSeries.ChartType = ctXYLine;
    bottomSeries.ChartType = ctXYLine;

    const int32_t* primary = PrimaryStorage();
    const int32_t* secondary = SecondaryStorage();
    SyncCurve(bottomSeries, bottom_, 0, [secondary](int32_t i) { return secondary[i] * 0.1; });
    if (velocity)
        SyncCurve(topSeries, top_, 0, [primary](int32_t i) { return primary[i] * 0.01; });
    else
        SyncCurve(topSeries, top_, 1, [primary](int32_t i) { return double(primary[i]); });

    topSeries.Maximum = FullScale();
    topSeries.Minimum = 0;
    bottomSeries.Maximum = 200;
    bottomSeries.Minimum = 0;
}

QStringList TGraficoForm::SampleValues(int32_t index) const {
    // As FillCurves scales them: the top chart's quantity under its title, the temperature.
    const QString title = AdvGDIPChartView1.Panes[0].Title;
    const int decimals = OutputIndex() == 0 ? 2 : 0; // velocity in hundredths, a flow as is
    return {(title.isEmpty() ? TipText("Tip03") : title) + QStringLiteral(": ") +
                QString::fromStdString(FormatScaled(PrimarySample(index), decimals)),
            TipText("Tip04") + QStringLiteral(": ") +
                QString::fromStdString(FormatScaled(SecondarySample(index), 1)) +
                QStringLiteral(" °C")};
}

void TGraficoForm::PanelBottomClick() {
    // A test sample: while acquiring, 0..999 and 30.0 degrees; the same within one second.
    RuntimeRandom random(static_cast<uint32_t>(NowSeconds()));
    AddSample(random.Next() % 1000, 300);
}

void TGraficoForm::StatusTick() {
    SpeedButton10.setVisible(DebugSetting() == 0);
}

void TGraficoForm::SpeedButton10Click() {
    if (ShowDebugWindow)
        ShowDebugWindow();
}

RecordingCsvLayout TGraficoForm::CsvLayout() const {
    RecordingCsvLayout layout = CsvTitles("Csv03");
    // As the charts show them: velocity in hundredths, a flow as it is, temperature in tenths.
    layout.Primary = OutputIndex() == 0 ? CsvValueScale{1, 2} : CsvValueScale{1, 0};
    layout.Secondary = CsvValueScale{1, 1};
    return layout;
}

QString TGraficoForm::RecordingName() const {
    return QStringLiteral("Grafico");
}

void TGraficoForm::Retranslate() {
    RetranslateBase();
    FitLabel2();
    // The top title is the output type's text in the language now active.
    AdvGDIPChartView1.BeginUpdate();
    AdvGDIPChartView1.Panes[0].Title = OutputText();
    AdvGDIPChartView1.EndUpdate();
}
