#include "charts/ChartForm.h"

#include "model/SensorTables.h"
#include "platform/Exception.h"
#include "platform/Regional.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"

#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QSaveFile>
#include <QShowEvent>
#include <QStandardPaths>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

void SetupButton(QPushButton& button, const char* name, const char* caption, const QRect& place) {
    button.setObjectName(QLatin1String(name));
    button.setText(QString::fromUtf8(caption));
    button.setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    button.setGeometry(place);
}

void SetupLabel(QLabel& label, const char* name, const char* caption, QPoint at) {
    label.setObjectName(QLatin1String(name));
    label.setText(QString::fromUtf8(caption));
    label.move(at);
    label.adjustSize();
}

// The pictures of "Print" and "ESCI", drawn at 24 x 24.
QIcon PrinterPicture() {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 8)); // paper going in
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(2.5, 9.5, 19, 9), 2, 2); // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 15.5, 11, 6)); // page coming out
    p.setPen(QPen(QColor(0, 160, 0), 1.5));
    p.drawPoint(QPointF(18.5, 12));
    return QIcon(picture);
}

QIcon ExitPicture() {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 30), 1.2));
    p.setBrush(QColor(200, 160, 110));
    p.drawRect(QRectF(3.5, 2.5, 11, 19)); // door
    p.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath arrow;
    arrow.moveTo(10, 12);
    arrow.lineTo(21, 12);
    arrow.moveTo(17, 8);
    arrow.lineTo(21, 12);
    arrow.lineTo(17, 16);
    p.setBrush(Qt::NoBrush);
    p.drawPath(arrow);
    return QIcon(picture);
}

// a + b within the 32-bit range: zoom and pan have no limits, but never overflow.
int32_t SaturatingAdd(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

TChartForm::TChartForm(std::string_view className, SensorTables& tables, ChartSources sources,
                       QWidget* mainWindow)
    : TForm(className, nullptr), tables_(tables), sources_(std::move(sources)),
      primarySamples_(Capacity), secondarySamples_(Capacity), sampleTimes_(Capacity) {
    // FormCreate: beside the main window, 1024 x 768, single fixed border.
    if (mainWindow != nullptr)
        move(mainWindow->pos());
    SetBorderIcons(biSystemMenu);
    SetClientSize(OuterWidth, OuterHeight);
    SetupControls();

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    // Each tick is due one interval after the previous one was due, not after it was served:
    // an hour of recording is 3600 samples however long the redrawing takes.
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setInterval(1000);
    Timer2.setTimerType(Qt::PreciseTimer);
    connect(&Timer2, &QTimer::timeout, this, Guarded([this] { Timer2Timer(); }));
    acquiring_ = false;
    Timer2.stop();
    Timer1.start();

    RvSystemR.OnPrint = [this](TBaseReport& report) { RvSystemRPrint(report); };
    // The file destination of "Output Options" also writes the picture and the data.
    using Format = TRvSystem::FileFormat;
    RvSystemR.FileFormats = {Format::Pdf, Format::Png, Format::Csv};
    RvSystemR.OnWriteFile = [this](Format format, const QString& fileName) {
        if (format == Format::Csv)
            return ExportCsv(fileName);
        return printImage_ != nullptr && WritePng(*printImage_, fileName);
    };
    SetupChartMenu();
}

TChartForm::~TChartForm() = default;

void TChartForm::SetupControls() {
    // Top strip: lamp, link text, port, date and time.
    SetupPanel(PanelTop, "PanelTop", QRect(0, 0, OuterWidth, BarHeight));
    SetPanelColor(PanelTop, VextorColors::SkyBlue);
    ShapeBOARD.setObjectName(QStringLiteral("ShapeBOARD"));
    ShapeBOARD.setGeometry(8, 9, 17, 16);
    ShapeBOARD.SetBrushColor(VextorColors::Red);
    SetupLabel(Label1, "Label1", "------", QPoint(31, 12));
    SetupLabel(Label4, "Label4", "------", QPoint(8, 31));
    SetupPanel(PanelOra, "PanelOra", QRect(785, 5, 225, 35));
    LabelRec.setObjectName(QStringLiteral("LabelRec"));
    LabelRec.setGeometry(160, 5, 615, 35);
    LabelRec.setWordWrap(true);
    LabelRec.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelRec.setStyleSheet(QStringLiteral("color: rgb(176, 0, 0);"));
    LabelRec.hide();
    PanelOra.setFont(FontOfPoints(QStringLiteral("Tahoma"), 8, true));

    // Bottom bar.
    SetupPanel(PanelBottom, "PanelBottom",
               QRect(0, OuterHeight - BarHeight, OuterWidth, BarHeight));
    SetPanelColor(PanelBottom, VextorColors::SkyBlue);
    PanelBottom.installEventFilter(this);
    SetupButton(SpeedButton2, "SpeedButton2", "Start ADQ", QRect(8, 6, 105, 41));
    SetupButton(SpeedButton3, "SpeedButton3", "Stop ADQ", QRect(119, 6, 98, 41));
    SetupLabel(Label2, "Label2", "Secondi trascorsi dallo start ADQ", QPoint(236, 6));
    FitLabel2();
    Edit1.setObjectName(QStringLiteral("Edit1"));
    Edit1.setGeometry(236, 24, 121, 21);
    Edit1.setReadOnly(true);
    Edit1.setFocusPolicy(Qt::NoFocus);
    SetupButton(SpeedButton4, "SpeedButton4", "+", QRect(408, 6, 49, 43));
    SetupButton(SpeedButton5, "SpeedButton5", "-", QRect(463, 6, 49, 43));
    SetupButton(SpeedButton6, "SpeedButton6", "<-", QRect(518, 6, 49, 43));
    SetupButton(SpeedButton7, "SpeedButton7", "->", QRect(573, 6, 49, 43));
    SetupButton(SpeedButton8, "SpeedButton8", "RES", QRect(628, 6, 49, 43));
    SetupButton(SpeedButton9, "SpeedButton9", "Print", QRect(683, 6, 102, 43));
    SpeedButton9.setIcon(PrinterPicture());
    SpeedButton9.setIconSize(QSize(24, 24));
    SetupButton(SpeedButton1, "SpeedButton1", "ESCI", QRect(898, 6, 112, 41));
    SpeedButton1.setIcon(ExitPicture());
    SpeedButton1.setIconSize(QSize(24, 24));

    const std::pair<QPushButton*, void (TChartForm::*)()> handlers[] = {
        {&SpeedButton1, &TChartForm::SpeedButton1Click},
        {&SpeedButton2, &TChartForm::SpeedButton2Click},
        {&SpeedButton3, &TChartForm::SpeedButton3Click},
        {&SpeedButton4, &TChartForm::SpeedButton4Click},
        {&SpeedButton5, &TChartForm::SpeedButton5Click},
        {&SpeedButton6, &TChartForm::SpeedButton6Click},
        {&SpeedButton7, &TChartForm::SpeedButton7Click},
        {&SpeedButton8, &TChartForm::SpeedButton8Click},
        {&SpeedButton9, &TChartForm::SpeedButton9Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QPushButton::clicked, this,
                Guarded([this, h = handler] { (this->*h)(); }));
}

void TChartForm::SetupChartMenu() {
    ChartMenu.setObjectName(QStringLiteral("ChartMenu"));
    ExportDataAction = ChartMenu.addAction(QString());
    ExportDataAction->setObjectName(QStringLiteral("ExportDataAction"));
    SaveImageAction = ChartMenu.addAction(QString());
    SaveImageAction->setObjectName(QStringLiteral("SaveImageAction"));
    connect(ExportDataAction, &QAction::triggered, this, Guarded([this] { ExportDataClick(); }));
    connect(SaveImageAction, &QAction::triggered, this, Guarded([this] { SaveImageClick(); }));
    RetranslateBase();
}

QString TChartForm::ChartText(std::string_view key) {
    return TTranslation::Global().Text("TGraficoForm", key);
}

void TChartForm::RetranslateBase() {
    ExportDataAction->setText(ChartText("Exp01"));
    SaveImageAction->setText(ChartText("Exp02"));
    if (journalWarned_) {
        journalWarned_ = false;
        ShowJournalProblem();
    }
}

void TChartForm::FitLabel2() {
    const int room = SpeedButton4.x() - Label2.x() - 4;
    QFont font = BaseFont();
    Label2.setFont(font);
    Label2.adjustSize();
    while (Label2.width() > room && font.pixelSize() > 8) {
        font.setPixelSize(font.pixelSize() - 1);
        Label2.setFont(font);
        Label2.adjustSize();
    }
}

int TChartForm::OutputIndex() const {
    if (recorded_)
        return recorded_->Index;
    return sources_.OutputIndex ? sources_.OutputIndex() : 0;
}

QString TChartForm::OutputText() const {
    if (recorded_)
        return recorded_->Title;
    return sources_.OutputText ? sources_.OutputText() : QString();
}

int32_t TChartForm::FullScale() const {
    return recorded_ ? recorded_->FullScale : int32_t{tables_.SetupWords[6]};
}

int32_t TChartForm::DebugSetting() const {
    return sources_.DebugSetting ? sources_.DebugSetting() : 0;
}

int64_t TChartForm::NowSeconds() const {
    return sources_.NowSeconds ? sources_.NowSeconds() : QDateTime::currentSecsSinceEpoch();
}

int64_t TChartForm::NowMs() const {
    return sources_.NowMs ? sources_.NowMs() : QDateTime::currentMSecsSinceEpoch();
}

void TChartForm::StoreSample(int32_t primary, int32_t secondary) {
    if (!acquiring_)
        return;
    const auto i = static_cast<size_t>(sampleCount_);
    primarySamples_[i] = primary;
    secondarySamples_[i] = secondary;
    sampleTimes_[i] = NowMs();
    ++sampleCount_;
    if (journalOpen_ && !journal_->Append({sampleTimes_[i], primary, secondary}))
        ShowJournalProblem();
    if (sampleCount_ == Capacity) {
        acquiring_ = false; // Full: the sampling timer keeps redrawing
        SpeedButton2.setEnabled(true);
        FinishJournal();
    }
}

void TChartForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    FormShow();
}

void TChartForm::FormShow() {
    PlaceChartsForBar();
    Replot();
}

void TChartForm::PlaceChartsForBar() {
    PlaceCharts(PanelBottom.isHidden() ? OuterHeight - PrintCutBottom : OuterHeight - BarHeight);
}

void TChartForm::Timer1Timer() {
    if (tables_.LinkActive == 1) {
        ShapeBOARD.SetBrushColor(VextorColors::Lime);
        SetCaption(Label1, QStringLiteral("On-Line"));
        SetCaption(Label4, QString::fromStdString(sources_.PortName ? sources_.PortName() : ""));
    } else if (!sources_.SearchStep || sources_.SearchStep() == 0) {
        ShapeBOARD.SetBrushColor(VextorColors::ButtonFace());
        SetCaption(Label1, QStringLiteral("Off-Line"));
        SetCaption(Label4, QStringLiteral("----"));
    } else {
        ShapeBOARD.SetBrushColor(VextorColors::Aqua);
        SetCaption(Label1, QStringLiteral("Search-Line"));
        SetCaption(Label4, QString::fromStdString(sources_.PortName ? sources_.PortName() : ""));
    }
    PanelOra.setText(DateTimeToStr(QDateTime::currentDateTime()));
    StatusTick();
}

void TChartForm::Timer2Timer() {
    TakeSample();
    Replot();
}

void TChartForm::Replot() {
    const std::vector<TChartView*> views = Views();
    for (TChartView* view : views)
        view->BeginUpdate();
    FillCurves();
    const int32_t lastX = sampleCount_ > 0 ? sampleCount_ - 1 : 0;
    for (TChartView* view : views) {
        TChartPane& pane = view->Panes[0];
        pane.Range.RangeFrom = lastX < VisibleSamples ? 0 : lastX - VisibleSamples;
        pane.Range.RangeTo = lastX < VisibleSamples ? VisibleSamples : lastX;
        pane.XGrid.Visible = true;
        pane.YGrid.Visible = true;
    }
    for (TChartView* view : views)
        view->EndUpdate();

    const QString elapsed = ElapsedText(sampleCount_);
    if (Edit1.text() != elapsed)
        Edit1.setText(elapsed);
}

QString TChartForm::ElapsedText(int32_t samples) {
    return QString::asprintf("%d:%02d:%02d", samples / 3600, samples / 60 % 60, samples % 60);
}

void TChartForm::ZoomView(int32_t step) {
    for (TChartView* view : Views()) {
        view->BeginUpdate();
        TChartRange& range = view->Panes[0].Range;
        range.RangeFrom = SaturatingAdd(range.RangeFrom, step);
        range.RangeTo = SaturatingAdd(range.RangeTo, -step);
        view->EndUpdate();
    }
}

void TChartForm::PanView(int32_t step) {
    for (TChartView* view : Views()) {
        view->BeginUpdate();
        TChartRange& range = view->Panes[0].Range;
        range.RangeFrom = SaturatingAdd(range.RangeFrom, step);
        range.RangeTo = SaturatingAdd(range.RangeTo, step);
        view->EndUpdate();
    }
}

void TChartForm::SpeedButton1Click() {
    close(); // only hides: the timers go on
}

void TChartForm::SpeedButton2Click() {
    startMs_ = NowMs();
    sampleCount_ = 0;
    ++generation_; // the curves start again
    recorded_.reset();
    StartJournal();
    acquiring_ = true;
    Timer2.start();
    SpeedButton2.setEnabled(false);
}

void TChartForm::SpeedButton3Click() {
    FinishJournal();
    acquiring_ = false;
    Timer2.stop();
    SpeedButton2.setEnabled(true);
}

void TChartForm::SpeedButton4Click() {
    if (!acquiring_)
        ZoomView(120);
}

void TChartForm::SpeedButton5Click() {
    if (!acquiring_)
        ZoomView(-120);
}

void TChartForm::SpeedButton6Click() {
    if (!acquiring_)
        PanView(-120);
}

void TChartForm::SpeedButton7Click() {
    if (!acquiring_)
        PanView(120);
}

void TChartForm::SpeedButton8Click() {
    Replot();
}

TChartForm::PictureScope::PictureScope(TChartForm& form) : form_(form) {
    form_.printImage_ = form_.RenderPrintPicture();
}

TChartForm::PictureScope::~PictureScope() {
    form_.printImage_.reset();
    form_.PanelBottom.show();
    form_.PlaceChartsForBar();
}

void TChartForm::SpeedButton9Click() {
    // Whatever the report run does (a cancel, an error), the picture goes and the bar comes back.
    const PictureScope picture(*this);
    if (ExecuteReport)
        ExecuteReport();
    else
        RvSystemR.Execute();
}

std::unique_ptr<QImage> TChartForm::RenderPrintPicture() {
    PanelBottom.hide();
    PlaceChartsForBar(); // the charts end where the picture does
    for (TChartView* view : Views())
        view->Redraw(); // also when the window is hidden
    const int w = width();
    const int h = height();
    auto picture = std::make_unique<QImage>(w, h, QImage::Format_RGB32);
    picture->fill(Qt::white);
    render(picture.get(), QPoint(0, 0), QRegion(0, 0, w - PrintCutRight, h - PrintCutBottom),
           QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return picture;
}

void TChartForm::RvSystemRPrint(TBaseReport& report) {
    if (printImage_ != nullptr)
        report.PrintBitmapRect(0.5, 0.5, 11.0, 7.5, *printImage_);
}

bool TChartForm::eventFilter(QObject* watched, QEvent* event) {
    // A click on the bottom bar itself, not on one of its controls (a label passes its clicks
    // on to the bar; those do not count).
    if (watched == &PanelBottom && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        if (mouse->button() == Qt::LeftButton && PanelBottom.rect().contains(at) &&
            PanelBottom.childAt(at) == nullptr) {
            try {
                PanelBottomClick();
            } catch (...) {
                ReportException(std::current_exception());
            }
        }
    }
    return TForm::eventFilter(watched, event);
}

// ---- Export ----

namespace {

void ReportFileError(const QString& fileName, const QString& reason) {
    const QString text = TTranslation::Global()
                             .Text("TGraficoForm", "Err01")
                             .arg(QDir::toNativeSeparators(fileName), reason);
    ReportException(std::make_exception_ptr(Exception(text.toStdString())));
}

// Writes bytes to fileName through a temporary file that replaces it only when complete.
bool WriteWhole(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        ReportFileError(fileName, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        ReportFileError(fileName, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace

int64_t TChartForm::RecordingStartMs() const {
    if (startMs_ != 0)
        return startMs_;
    return sampleCount_ > 0 ? sampleTimes_[0] : NowMs();
}

QString TChartForm::ProposedFileName(const QString& suffix) const {
    const QString when = QDateTime::fromMSecsSinceEpoch(RecordingStartMs())
                             .toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QString folder = exportFolder_;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir(folder).filePath(RecordingName() + ' ' + when + '.' + suffix);
}

QString TChartForm::AskExportFile(const QString& title, const QString& proposed,
                                  const QString& filters) {
    QString name;
    if (ChooseExportFile) {
        name = ChooseExportFile(proposed, filters);
    } else {
        QString chosenFilter;
        name = QFileDialog::getSaveFileName(this, title, proposed, filters, &chosenFilter);
        // A name typed without a suffix takes the one of the file type chosen.
        const auto open = chosenFilter.lastIndexOf(QStringLiteral("(*."));
        if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty() && open >= 0)
            name += chosenFilter.mid(open + 2).chopped(1);
    }
    name = name.trimmed();
    if (!name.isEmpty())
        exportFolder_ = QFileInfo(name).absolutePath();
    return name;
}

bool TChartForm::ExportCsv(const QString& fileName) {
    const RecordingCsvLayout layout = CsvLayout();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string text =
        RecordingCsv(layout, sampleCount_, sampleTimes_.data(), primarySamples_.data(),
                     secondarySamples_.data(), DecimalSeparator());
    QApplication::restoreOverrideCursor();
    return WriteWhole(fileName, QByteArray::fromRawData(text.data(), qsizetype(text.size())));
}

bool TChartForm::WritePng(const QImage& picture, const QString& fileName) {
    // The part of the window the print takes, without the blank margin the page leaves.
    const QImage shown =
        picture.copy(0, 0, picture.width() - PrintCutRight, picture.height() - PrintCutBottom);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!shown.save(&buffer, "PNG")) {
            ReportFileError(fileName, QStringLiteral("PNG"));
            return false;
        }
    }
    return WriteWhole(fileName, bytes);
}

bool TChartForm::ExportImage(const QString& fileName) {
    const PictureScope picture(*this); // the bar comes back whatever happens
    if (QFileInfo(fileName).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0)
        return RvSystemR.WritePdfFile(fileName);
    return WritePng(*printImage_, fileName);
}

void TChartForm::ExportDataClick() {
    const QString name = AskExportFile(ExportDataAction->text().remove(QChar(0x2026)),
                                       ProposedFileName(QStringLiteral("csv")), ChartText("Flt01"));
    if (!name.isEmpty())
        ExportCsv(TRvSystem::WithSuffix(name, TRvSystem::FileFormat::Csv));
}

void TChartForm::SaveImageClick() {
    const QString filters = ChartText("Flt02") + QStringLiteral(";;") + ChartText("Flt03");
    const QString name = AskExportFile(SaveImageAction->text().remove(QChar(0x2026)),
                                       ProposedFileName(QStringLiteral("png")), filters);
    if (!name.isEmpty())
        ExportImage(TRvSystem::WithSuffix(name, TRvSystem::FileFormat::Png));
}

void TChartForm::contextMenuEvent(QContextMenuEvent* event) {
    // Over one of the charts: the export menu.
    QWidget* under = childAt(mapFromGlobal(event->globalPos()));
    for (TChartView* view : Views()) {
        if (under != nullptr && (under == view || view->isAncestorOf(under))) {
            ExportDataAction->setEnabled(sampleCount_ > 0);
            ChartMenu.popup(event->globalPos());
            event->accept();
            return;
        }
    }
    TForm::contextMenuEvent(event);
}

// ---- The recording on disk ----

namespace {

// The unit inside the last brackets of a title: "Portata [m³/h]" gives "m³/h".
QString UnitOf(const QString& title) {
    const auto open = title.lastIndexOf('[');
    const auto close = title.lastIndexOf(']');
    return open >= 0 && close > open ? title.mid(open + 1, close - open - 1).trimmed() : QString();
}

} // namespace

void TChartForm::DropJournal() {
    FinishJournal();
    journal_.reset(); // finished, or left unfinished for the next start to offer
    journalWarned_ = false;
    LabelRec.hide();
    Edit1.setToolTip(QString());
}

void TChartForm::StartJournal() {
    DropJournal();
    if (!sources_.RecordingsFolder)
        return;
    const std::filesystem::path folder = sources_.RecordingsFolder();
    PruneRecordings(folder);
    RecordingHeader header;
    header.Window = RecordingName();
    header.Start = QDateTime::fromMSecsSinceEpoch(startMs_);
    header.OutputIndex = OutputIndex();
    header.OutputTitle = OutputText();
    header.Unit = UnitOf(header.OutputTitle);
    header.FullScale = tables_.SetupWords[6];
    journal_ = std::make_unique<RecordingJournal>(folder, header);
    journalOpen_ = !journal_->Failed();
    if (!journalOpen_)
        ShowJournalProblem();
}

void TChartForm::FinishJournal() {
    if (journalOpen_)
        journal_->Finish();
    journalOpen_ = false;
}

QString TChartForm::JournalProblem() const {
    return journal_ != nullptr && journal_->Failed() ? journal_->Error() : QString();
}

void TChartForm::ShowJournalProblem() {
    journalOpen_ = false; // nothing more goes to it
    if (journalWarned_)
        return;
    journalWarned_ = true;
    const QString text = ChartText("Rec01").arg(JournalProblem());
    LabelRec.setText(text);
    LabelRec.show();
    Edit1.setToolTip(text);
}

bool TChartForm::LoadRecording(const Recording& recording) {
    if (acquiring_)
        return false;
    DropJournal();
    const auto count =
        static_cast<int32_t>(std::min<size_t>(recording.Samples.size(), size_t{Capacity}));
    for (int32_t i = 0; i < count; ++i) {
        const RecordingSample& sample = recording.Samples[static_cast<size_t>(i)];
        primarySamples_[static_cast<size_t>(i)] = sample.Primary;
        secondarySamples_[static_cast<size_t>(i)] = sample.Secondary;
        sampleTimes_[static_cast<size_t>(i)] = sample.TimeMs;
    }
    sampleCount_ = count;
    ++generation_; // the curves are rebuilt
    const RecordingHeader& header = recording.Header;
    recorded_ = RecordedOutput{header.OutputIndex, header.OutputTitle, header.FullScale};
    startMs_ = header.Start.isValid() ? header.Start.toMSecsSinceEpoch()
                                      : (count > 0 ? sampleTimes_[0] : 0);
    Timer2.stop();
    SpeedButton2.setEnabled(true);
    Replot();
    return true;
}

RecordingCsvLayout TChartForm::CsvTitles(std::string_view secondaryKey) const {
    RecordingCsvLayout layout;
    layout.SampleTitle = ChartText("Csv01").toStdString();
    layout.TimeTitle = ChartText("Csv02").toStdString();
    const QString output = OutputText();
    layout.PrimaryTitle = (output.isEmpty() ? ChartText("Csv05") : output).toStdString();
    layout.SecondaryTitle = ChartText(secondaryKey).toStdString();
    return layout;
}
