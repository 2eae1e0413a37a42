#pragma once
// What the acquisition chart window and the debug chart window share: the link-status strip, the
// bottom bar with the acquisition, zoom, pan, reset and print buttons and the elapsed time, the
// two sample buffers with their acquisition states, the sampling tick and the printing.
//
// Acquisition states: Stopped (not acquiring, sampling timer stopped, "Start ADQ" enabled),
// Running (acquiring, timer running, "Start ADQ" disabled) and Full (86,400 samples stored: not
// acquiring, "Start ADQ" enabled, the timer keeps redrawing every second until "Stop ADQ").
// Hiding the window changes none of this; only closing the application ends it.
//
// Replot gives the curves as if rebuilt from the buffers, but appends only the samples stored
// since the previous Replot: the whole curve is rebuilt only after "Start ADQ" or when the
// scaling (the output type) changed. So a sampling tick costs the same at the first sample and
// at the 86,400th.
#include "model/RecordingCsv.h"
#include "platform/RecordingJournal.h"
#include "runtime/ChartView.h"
#include "runtime/Form.h"
#include "runtime/ReportEngine.h"
#include "runtime/Shape.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SensorTables;
class QContextMenuEvent;
class QShowEvent;

// What the chart windows read from the main window, besides its tables.
struct ChartSources {
    std::function<int()> OutputIndex;      // the output-type selector's index (-1: none)
    std::function<QString()> OutputText;   // its displayed text, in the current language
    std::function<int32_t()> SearchStep;   // the port search's state; 0 while none runs
    std::function<std::string()> PortName; // the serial port's device name ("COM1")
    std::function<int32_t()> DebugSetting; // settings key Debug
    // The time in seconds that seeds the test sample; the wall clock when not set.
    std::function<int64_t()> NowSeconds;
    // The wall-clock time each sample is stamped with, in milliseconds since the epoch; the
    // wall clock when not set.
    std::function<int64_t()> NowMs;
    // Where each acquisition is journalled on disk as it goes; not set: kept in memory only.
    std::function<std::filesystem::path()> RecordingsFolder;
};

class TChartForm : public TForm {
public:
    static constexpr int32_t Capacity = 86400; // 24 hours at one sample per second
    static constexpr int OuterWidth = 1024;
    static constexpr int OuterHeight = 768;
    static constexpr int BarHeight = 57;
    static constexpr int32_t VisibleSamples = 120; // the newest ones, after each Replot
    // The part of the window a print takes: all but the right 5 columns and the bottom 80 rows.
    static constexpr int PrintCutRight = 5;
    static constexpr int PrintCutBottom = 80;

    ~TChartForm() override;

    // ---- State (read-only outside) ----
    bool Acquiring() const noexcept { return acquiring_; }
    int32_t SampleCount() const noexcept { return sampleCount_; }
    int32_t PrimarySample(int32_t index) const { return primarySamples_.at(index); }
    int32_t SecondarySample(int32_t index) const { return secondarySamples_.at(index); }
    // When the sample was stored, in milliseconds since the epoch (wall clock).
    int64_t SampleTimeMs(int32_t index) const { return sampleTimes_.at(index); }
    // The buffers' storage (allocated once, with the window).
    const int32_t* PrimaryStorage() const noexcept { return primarySamples_.data(); }
    const int32_t* SecondaryStorage() const noexcept { return secondarySamples_.data(); }
    // The picture taken for the print under way; nullptr outside one.
    const QImage* PrintImage() const noexcept { return printImage_.get(); }

    // Samples as the elapsed-time box shows them: "1:02:05".
    static QString ElapsedText(int32_t samples);

    // ---- Handlers ----
    void FormShow();    // top chart height, then Replot
    void Timer1Timer(); // status strip (runs from creation, also while hidden)
    void Timer2Timer(); // sampling tick: one sample, then Replot
    // Rebuilds the curves from the buffers (see the top of this file), sets the range to the
    // newest samples and shows the elapsed time.
    void Replot();
    void ZoomView(int32_t step); // RangeFrom + step, RangeTo - step on every pane
    void PanView(int32_t step);  // both ends + step
    void SpeedButton1Click();    // "ESCI": hides the window
    void SpeedButton2Click();    // "Start ADQ"
    void SpeedButton3Click();    // "Stop ADQ"
    void SpeedButton4Click();    // "+"
    void SpeedButton5Click();    // "-"
    void SpeedButton6Click();    // "<-"
    void SpeedButton7Click();    // "->"
    void SpeedButton8Click();    // "RES"
    // "Print": the window without its bottom bar, on one landscape page.
    void SpeedButton9Click();
    // The report engine's page handler.
    void RvSystemRPrint(TBaseReport& report);

    // Runs the report engine; RvSystemR.Execute() when not set (the test seam).
    std::function<void()> ExecuteReport;

    // ---- Export: the recording as CSV, the chart as a PNG picture or a PDF page ----
    // Each returns whether the file was written; a failure is reported with the file's name
    // and the reason, and leaves no partial file behind.
    bool ExportCsv(const QString& fileName);
    // A picture of the window as printed (without the bottom bar): PDF when the name ends in
    // ".pdf", else PNG.
    bool ExportImage(const QString& fileName);
    // The right-click menu's "Esporta dati (CSV)…" and "Salva immagine…": a file dialog, then
    // the export.
    void ExportDataClick();
    void SaveImageClick();
    // The name the file dialogs propose: the window and the recording's start time
    // ("Grafico 2026-12-11 09-30-00.csv"), in the folder of the last export.
    QString ProposedFileName(const QString& suffix) const;
    // Replaces the export file dialog: (proposed path, filters) -> the chosen path, empty for
    // Cancel (the test seam).
    std::function<QString(const QString& proposed, const QString& filters)> ChooseExportFile;
    // The charts' right-click menu; its texts follow the active language.
    QMenu ChartMenu{this};
    QAction* ExportDataAction = nullptr; // owned by ChartMenu
    QAction* SaveImageAction = nullptr;

    // ---- The recording on disk ----
    // From "Start ADQ" on, every stored sample also goes to a journal in the recordings folder,
    // finished at "Stop ADQ" or at the last sample. A journal that cannot be written never stops
    // the acquisition: the window goes on in memory and says so once, in LabelRec and in the
    // elapsed-time box's tool tip.
    //
    // Loads a recording left unfinished by an earlier run as a stopped acquisition: samples,
    // times, elapsed time, and the output type, title and full scale it was recorded with (kept
    // until the next "Start ADQ"). Refused (false) while acquiring.
    bool LoadRecording(const Recording& recording);
    // Whether the samples shown are a recording loaded by LoadRecording.
    bool ShowsLoadedRecording() const noexcept { return recorded_.has_value(); }
    // The journal of the current or last acquisition (nullptr: none, or not journalled).
    const RecordingJournal* Journal() const noexcept { return journal_.get(); }
    // Why the acquisition is not being saved to disk; empty while it is.
    QString JournalProblem() const;

    // ---- Controls ----
    QLabel PanelTop{this};
    TShape ShapeBOARD{&PanelTop};
    QLabel Label1{&PanelTop};
    QLabel Label4{&PanelTop};
    QLabel PanelOra{&PanelTop};
    QLabel LabelRec{&PanelTop}; // the message line of the journal, shown on a problem
    QLabel PanelBottom{this};
    QPushButton SpeedButton2{&PanelBottom};
    QPushButton SpeedButton3{&PanelBottom};
    QLabel Label2{&PanelBottom};
    QLineEdit Edit1{&PanelBottom};
    QPushButton SpeedButton4{&PanelBottom};
    QPushButton SpeedButton5{&PanelBottom};
    QPushButton SpeedButton6{&PanelBottom};
    QPushButton SpeedButton7{&PanelBottom};
    QPushButton SpeedButton8{&PanelBottom};
    QPushButton SpeedButton9{&PanelBottom};
    QPushButton SpeedButton1{&PanelBottom};
    QTimer Timer1{this};
    QTimer Timer2{this};
    TRvSystem RvSystemR;

protected:
    // className: "TGraficoForm" or "TDebugForm". mainWindow: the window whose left and top
    // this one takes at creation (may be nullptr).
    TChartForm(std::string_view className, SensorTables& tables, ChartSources sources,
               QWidget* mainWindow);

    // Stores one sample pair while acquiring; the acquisition ends by itself at Capacity.
    void StoreSample(int32_t primary, int32_t secondary);

    // Set by the windows.
    virtual std::vector<TChartView*> Views() = 0;
    // Places the charts between the strip and `bottom` (the bar's top, or the print's bottom).
    virtual void PlaceCharts(int bottom) = 0;
    // Steps 1 and 2 of the sampling tick: which words, and AddSample.
    virtual void TakeSample() = 0;
    // Titles, curves and Y ranges of Replot, between the views' BeginUpdate and EndUpdate.
    virtual void FillCurves() = 0;
    // A click on a free area of the bottom bar.
    virtual void PanelBottomClick() {}
    // After the status strip's tick.
    virtual void StatusTick() {}
    // The CSV columns: titles and how the two buffers' words are shown.
    virtual RecordingCsvLayout CsvLayout() const = 0;
    // The titles every window's CSV has: sample, time, the output type's text, and the
    // secondary column's text under secondaryKey. The scales are left to the window.
    RecordingCsvLayout CsvTitles(std::string_view secondaryKey) const;
    // The window's name in file names and journals ("Grafico").
    virtual QString RecordingName() const = 0;
    // The shared texts of the chart windows, in the active language.
    static QString ChartText(std::string_view key);
    // Recaptions what the base class shows (the menu); the windows call it from Retranslate.
    void RetranslateBase();

    // The output type: 0 velocity, anything else (also -1) a flow.
    int OutputIndex() const;
    QString OutputText() const;
    int32_t DebugSetting() const;
    int64_t NowSeconds() const;
    int64_t NowMs() const;
    // The full scale the output curve is drawn to: SetupWords[6], or as a loaded recording had it.
    int32_t FullScale() const;

    // Keeps a series equal to the points (i, value(i)) for i < SampleCount, appending only the
    // new samples; rebuilt after "Start ADQ" or when scale (the scaling in use) changed.
    struct CurveState {
        uint64_t Generation = ~uint64_t{0};
        int Scale = -1;
        int32_t Plotted = 0;
    };
    template <typename Value>
    void SyncCurve(TChartSeries& series, CurveState& state, int scale, Value value);

    void PlaceChartsForBar();
    // Sizes Label2 to its caption, in a smaller size where the base font would run under "+".
    void FitLabel2();
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    SensorTables& tables_;
    ChartSources sources_;

private:
    void SetupControls();
    void SetupChartMenu();
    // The window without its bottom bar, as printed (the caller puts the bar back).
    std::unique_ptr<QImage> RenderPrintPicture();
    // Holds the print picture (taken with the bar hidden) for its lifetime; then the picture
    // goes and the bar comes back, whatever happened meanwhile.
    class PictureScope {
    public:
        explicit PictureScope(TChartForm& form);
        ~PictureScope();
        PictureScope(const PictureScope&) = delete;
        PictureScope& operator=(const PictureScope&) = delete;

    private:
        TChartForm& form_;
    };
    bool WritePng(const QImage& picture, const QString& fileName);
    // The file dialog (or its seam); empty for Cancel.
    QString AskExportFile(const QString& title, const QString& proposed, const QString& filters);
    int64_t RecordingStartMs() const;
    void StartJournal();
    void FinishJournal();
    void ShowJournalProblem();
    // Lets go of the journal (finished when still open) and of any problem shown for it.
    void DropJournal();

    std::vector<int32_t> primarySamples_;   // PrimarySamples
    std::vector<int32_t> secondarySamples_; // SecondarySamples
    std::vector<int64_t> sampleTimes_;      // when each sample was stored
    bool acquiring_ = false;
    int32_t sampleCount_ = 0;
    uint64_t generation_ = 0; // one more at every "Start ADQ"
    std::unique_ptr<QImage> printImage_;
    int64_t startMs_ = 0;  // when "Start ADQ" was pressed (wall clock, ms)
    QString exportFolder_; // where the last export went

    // ---- Reading the chart with the mouse (ChartMouse.cpp) ----
    // While no acquisition runs, the wheel zooms the time axis about the pointer and a drag with
    // the left button pans it, on every chart of the window together; hovering shows the sample
    // under the pointer. While acquiring, the view follows the newest samples as before.
public:
    static constexpr double WheelZoom = 1.25;      // per wheel notch: 1.25x in, 0.8x out
    static constexpr int32_t MinMouseSpan = 10;    // zooming in stops at 10 seconds across
    static constexpr int32_t MaxMouseSpan = 95040; // zooming out at a day and 10 %

    // The wheel: every view's width divided by WheelZoom^steps, the key `key` staying where it
    // is on the screen. Ends stay whole seconds within the 32-bit range; the width stays
    // between MinMouseSpan and MaxMouseSpan (a width already beyond them is not pushed further).
    // Steps too small to change the width by a second add up until they do.
    void WheelView(double key, double steps);
    // A drag: whether one may start now, then every view shown as at its start less keyDelta
    // (rounded to whole seconds), then its end.
    bool BeginDragView();
    void DragView(double keyDelta);
    void EndDragView();
    // The tool tip of the sample nearest to `key`: its number, when it was stored and its
    // values as drawn; empty when no recorded sample is that near.
    QString SampleTip(double key) const;

protected:
    // Hooks every view's mouse to the window; the windows call it once their views exist.
    void SetupMouse();
    // The values of a stored sample in the units the charts draw them, one "name: value" line
    // each.
    virtual QStringList SampleValues(int32_t index) const = 0;
    // The text of a tool tip key (context "TGraficoForm", which both windows use).
    static QString TipText(std::string_view key);

private:
    std::vector<TChartRange> dragFrom_; // each view's range at the press
    double wheelSteps_ = 0.0;           // notches not yet worth a second

    // ---- The recording on disk ----
    struct RecordedOutput {
        int Index = 0;
        QString Title;
        int32_t FullScale = 0;
    };
    std::optional<RecordedOutput> recorded_; // set while a loaded recording is shown
    std::unique_ptr<RecordingJournal> journal_;
    bool journalOpen_ = false;   // appended to until "Stop ADQ" or the last sample
    bool journalWarned_ = false; // the problem has been shown for this acquisition
};

template <typename Value>
void TChartForm::SyncCurve(TChartSeries& series, CurveState& state, int scale, Value value) {
    if (state.Generation != generation_ || state.Scale != scale || state.Plotted > sampleCount_ ||
        series.PointCount() != state.Plotted) {
        series.ClearPoints();
        state = CurveState{generation_, scale, 0};
    }
    for (int32_t i = state.Plotted; i < sampleCount_; ++i)
        series.AddSingleXYPoint(static_cast<double>(i), value(i));
    state.Plotted = sampleCount_;
}
