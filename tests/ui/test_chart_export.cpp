// What leaves the chart windows as files: the recording as CSV (read back the way a
// spreadsheet user's script would, with Python's csv module), the chart as PNG and PDF, from the
// right-click menu and from the file destination of "Output Options".
#include "ChartTestWindows.h"
#include "PdfRender.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "model/SensorTables.h"
#include "platform/Regional.h"
#include "runtime/ReportWindows.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>

namespace {

// Parses a CSV file with Python's csv module and prints [[n, epoch seconds, primary,
// secondary], ...] as JSON, with the header row first as it was read.
constexpr const char* ReadBack = R"(
import csv, json, sys, time, datetime
path, delimiter, decimal = sys.argv[1], sys.argv[2], sys.argv[3]
with open(path, newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, delimiter=delimiter))
out = [rows[0]]
for r in rows[1:]:
    when = datetime.datetime.strptime(r[1], '%Y-%m-%d %H:%M:%S')
    number = lambda t: float(t.replace(decimal, '.'))
    out.append([int(r[0]), time.mktime(when.timetuple()), number(r[2]), number(r[3])])
print(json.dumps(out))
)";

class ChartExport : public testing::Test, protected ChartTestWindows {
protected:
    ChartExport() : ChartTestWindows(1796977800000) {} // 2026-12-11 08:30:00 UTC
    void SetUp() override {
        Translation().SetLanguage(1);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { Translation().SetLanguage(1); }

    QString File(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    // Starts an acquisition and stores n samples, 1.25 s apart.
    void Record(TChartForm& form, int n) {
        form.SpeedButton2Click();
        for (int i = 0; i < n; ++i) {
            tables.StatusWords[0] = 100 + 37 * i;   // velocity in hundredths
            tables.StatusWords[1] = 4000 + i;       // flow
            tables.StatusWords[2] = 250 + (i % 60); // temperature in tenths
            tables.StatusWords[9] = 3000 - 11 * i;  // diagnostic
            form.Timer2Timer();
            nowMs += 1250;
        }
        form.SpeedButton3Click();
    }

    static std::optional<QJsonArray> ReadWithPython(const QString& file, char delimiter,
                                                    char decimal) {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            return std::nullopt;
        QProcess process;
        process.start(python, {QStringLiteral("-c"), QString::fromUtf8(ReadBack), file,
                               QString(QChar(delimiter)), QString(QChar(decimal))});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            ADD_FAILURE() << process.readAllStandardError().toStdString();
            return QJsonArray();
        }
        return QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    }

    QTemporaryDir dir;
};

TEST_F(ChartExport, CsvReadBackGivesTheBuffersInTheirUnitsWithEitherSeparator) {
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 not installed";
    struct Case {
        char decimal;
        char delimiter;
        int output;
        double primaryScale;
    } cases[] = {{',', ';', 0, 0.01}, {'.', ',', 0, 0.01}, {',', ';', 2, 1.0}, {'.', ',', 1, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "decimal " << c.decimal << " output " << c.output);
        const ScopedRegionalOverride regional(c.decimal);
        outputIndex = c.output;
        outputText = c.output == 0 ? QStringLiteral("Velocità Flusso [mt/sec]")
                                   : QStringLiteral("Portata [m³/h]");
        Record(grafico, 130);
        const QString file = File("grafico.csv");
        ASSERT_TRUE(grafico.ExportCsv(file));
        const std::optional<QJsonArray> rows = ReadWithPython(file, c.delimiter, c.decimal);
        ASSERT_TRUE(rows.has_value());
        ASSERT_EQ(rows->size(), 131);
        const QJsonArray header = (*rows)[0].toArray();
        EXPECT_EQ(header[0].toString(), QStringLiteral("Campione"));
        EXPECT_EQ(header[1].toString(), QStringLiteral("Data e ora"));
        EXPECT_EQ(header[2].toString(), outputText); // "³" intact
        EXPECT_EQ(header[3].toString(), QStringLiteral("Temperatura [°C]"));
        for (int32_t i = 0; i < grafico.SampleCount(); ++i) {
            const QJsonArray row = (*rows)[i + 1].toArray();
            ASSERT_EQ(row[0].toInt(), i + 1);
            ASSERT_EQ(int64_t(row[1].toDouble()), grafico.SampleTimeMs(i) / 1000) << i;
            ASSERT_DOUBLE_EQ(row[2].toDouble(), grafico.PrimarySample(i) * c.primaryScale) << i;
            ASSERT_DOUBLE_EQ(row[3].toDouble(), grafico.SecondarySample(i) * 0.1) << i;
        }
    }
}

TEST_F(ChartExport, TheDebugWindowExportsTheDiagnosticAsItsChartShowsIt) {
    const ScopedRegionalOverride regional('.');
    outputIndex = 1;
    outputText = QStringLiteral("Portata [m³/h]");
    Record(debugForm, 3);
    const QString file = File("debug.csv");
    ASSERT_TRUE(debugForm.ExportCsv(file));
    QFile read(file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray bytes = read.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")); // the byte order mark
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("Campione,Data e ora,Portata [m³/h],Diagnostica"));
    // 3000 * 1200 / 4000 = 900, drawn ten times larger on a flow's scale.
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",4000,9000"))) << lines[1].toStdString();
}

TEST_F(ChartExport, TheRightClickMenuOffersTheExportsInTheActiveLanguage) {
    grafico.show();
    auto menuOver = [&](TChartView& view) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(200, 100),
                                view.mapToGlobal(QPoint(200, 100)));
        QApplication::sendEvent(view.findChild<QWidget*>(QStringLiteral("Plot")), &event);
        const bool shown = grafico.ChartMenu.isVisible();
        grafico.ChartMenu.hide();
        return shown;
    };
    EXPECT_TRUE(menuOver(grafico.AdvGDIPChartView1));
    EXPECT_TRUE(menuOver(grafico.AdvGDIPChartView2));
    EXPECT_EQ(grafico.ExportDataAction->text(), QStringLiteral("Esporta dati (CSV)…"));
    EXPECT_EQ(grafico.SaveImageAction->text(), QStringLiteral("Salva immagine…"));
    EXPECT_FALSE(grafico.ExportDataAction->isEnabled()); // nothing recorded yet
    Record(grafico, 2);
    EXPECT_TRUE(menuOver(grafico.AdvGDIPChartView1));
    EXPECT_TRUE(grafico.ExportDataAction->isEnabled());

    Translation().SetLanguage(2);
    EXPECT_EQ(grafico.ExportDataAction->text(), QStringLiteral("Export data (CSV)…"));
    EXPECT_EQ(grafico.SaveImageAction->text(), QStringLiteral("Save picture…"));
    EXPECT_EQ(debugForm.ExportDataAction->text(), QStringLiteral("Export data (CSV)…"));
}

TEST_F(ChartExport, TheFileDialogProposesANameFromTheStartTimeAndTheFilesAreWritten) {
    grafico.show();
    Record(grafico, 5);
    QStringList proposed;
    QString answer;
    grafico.ChooseExportFile = [&](const QString& name, const QString&) {
        proposed << QFileInfo(name).fileName();
        return answer;
    };
    const QString start = QDateTime::fromMSecsSinceEpoch(grafico.SampleTimeMs(0))
                              .toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));

    answer = File("data"); // the suffix is added
    grafico.ExportDataClick();
    EXPECT_TRUE(QFile::exists(File("data.csv")));
    answer = File("picture.png");
    grafico.SaveImageClick();
    answer = File("page.pdf");
    grafico.SaveImageClick();
    answer.clear(); // Cancel writes nothing
    grafico.SaveImageClick();
    ASSERT_EQ(proposed.size(), 4);
    EXPECT_EQ(proposed[0], QStringLiteral("Grafico %1.csv").arg(start));
    EXPECT_EQ(proposed[1], QStringLiteral("Grafico %1.png").arg(start));

    // The picture is the window without its bottom bar, the status strip on top.
    const QImage picture(File("picture.png"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(1019, 688)); // as printed: without the bar and the margin
    EXPECT_EQ(QColor(picture.pixel(500, 20)), QColor(166, 202, 240));
    EXPECT_EQ(QColor(picture.pixel(500, 685)), QColor(Qt::white)); // below the charts
    EXPECT_FALSE(grafico.PanelBottom.isHidden());
    if (CanRenderPdf()) {
        const QImage page = RenderPdf(File("page.pdf"), 20);
        ASSERT_FALSE(page.isNull());
        EXPECT_GT(page.width(), page.height());
    }
}

TEST_F(ChartExport, TheFileDestinationOfOutputOptionsWritesEachFormat) {
    grafico.show();
    Record(grafico, 4);
    TRvSystem::OutputChoice choice;
    choice.Where = TRvSystem::Destination::File;
    grafico.RvSystemR.ChooseOutput = [&] { return std::optional(choice); };
    const std::pair<TRvSystem::FileFormat, const char*> cases[] = {
        {TRvSystem::FileFormat::Csv, "out.csv"},
        {TRvSystem::FileFormat::Png, "out.png"},
        {TRvSystem::FileFormat::Pdf, "out.pdf"},
    };
    for (const auto& [format, name] : cases) {
        choice.Format = format;
        choice.FileName = File("out");
        Click(grafico.SpeedButton9);
        EXPECT_TRUE(QFile::exists(File(name))) << name;
        EXPECT_FALSE(grafico.PanelBottom.isHidden());
    }
    EXPECT_FALSE(QImage(File("out.png")).isNull());
}

TEST_F(ChartExport, AFileThatCannotBeWrittenIsReportedAndLeavesNothing) {
    Record(grafico, 3);
    ErrorReports errors;
    const QString missing = File("no-such-folder/data.csv");
    EXPECT_FALSE(grafico.ExportCsv(missing));
    EXPECT_FALSE(grafico.ExportImage(File("no-such-folder/picture.png")));
    ASSERT_EQ(errors.messages.size(), 2u);
    EXPECT_TRUE(errors.messages[0].startsWith(QStringLiteral("Impossibile scrivere il file")))
        << errors.messages[0].toStdString();
    EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("data.csv")));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_FALSE(grafico.PanelBottom.isHidden());
}

TEST(OutputOptionsFormats, TheFormatFollowsTheNameAndTheNameTheFormat) {
    UiApp();
    using Format = TRvSystem::FileFormat;
    TOutputOptionsDialog dialog(QStringLiteral("Output Options"), TRvSystem::Destination::File,
                                QPageLayout::Landscape, nullptr,
                                {Format::Pdf, Format::Png, Format::Csv});
    ASSERT_EQ(dialog.FormatBox->count(), 3);
    dialog.FileEdit->setText(QStringLiteral("/tmp/night.png"));
    EXPECT_EQ(dialog.Choice().Format, Format::Png);
    dialog.FormatBox->setCurrentIndex(2);
    emit dialog.FormatBox->activated(2);
    EXPECT_EQ(dialog.FileEdit->text(), QStringLiteral("/tmp/night.csv"));
    dialog.FileEdit->setText(QStringLiteral("/tmp/run.2026"));
    EXPECT_EQ(dialog.Choice().FileName, QStringLiteral("/tmp/run.2026"));
    dialog.FileEdit->setText(QStringLiteral("/tmp/night"));
    EXPECT_EQ(dialog.Choice().FileName, QStringLiteral("/tmp/night.csv"));

    // One format only: no choice shown, PDF as before.
    TOutputOptionsDialog plain(QStringLiteral("Output Options"), TRvSystem::Destination::File,
                               QPageLayout::Landscape);
    EXPECT_TRUE(plain.FormatBox->isHidden());
    plain.FileEdit->setText(QStringLiteral("/tmp/page"));
    EXPECT_EQ(plain.Choice().FileName, QStringLiteral("/tmp/page.pdf"));
    EXPECT_EQ(plain.Choice().Format, Format::Pdf);
}

} // namespace
