// Recordings that outlive the program: the chart windows journal every stored sample, a
// recording left unfinished (the program killed, or closed during an acquisition) comes back at
// the next start in its window with a notice in the main window, and a journal that cannot be
// written never stops the acquisition.
#include "WindowSetFixture.h"
#include "app/Main.h"
#include "app/Windows.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "model/SensorTables.h"
#include "platform/RecordingJournal.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Stored {
    int32_t primary;
    int32_t secondary;
    int64_t timeMs;
};

// The windows on their own tables, journalling into a folder of the test's own.
class ChartJournal : public testing::Test {
protected:
    void SetUp() override {
        Translation().SetLanguage(1);
        ASSERT_TRUE(dir.isValid());
    }
    ChartSources Sources() {
        ChartSources s;
        s.OutputIndex = [this] { return outputIndex; };
        s.OutputText = [this] { return outputText; };
        s.NowMs = [this] { return nowMs += 1000; };
        s.RecordingsFolder = [this] { return folder; };
        return s;
    }

    QApplication& app = UiApp();
    QTemporaryDir dir;
    fs::path folder = fs::path(dir.path().toStdString()) / "recordings";
    SensorTables tables;
    int outputIndex = 0;
    QString outputText = QStringLiteral("Velocità Flusso [mt/sec]");
    int64_t nowMs = 1796977800000;
};

TEST_F(ChartJournal, StopAdqFinishesAJournalHoldingEverySample) {
    tables.SetupWords[6] = 1500;
    TGraficoForm grafico(tables, Sources());
    grafico.SpeedButton2Click();
    grafico.Timer2.stop();
    for (int i = 0; i < 25; ++i)
        grafico.AddSample(1000 + i, 250 + i);
    ASSERT_NE(grafico.Journal(), nullptr);
    EXPECT_FALSE(grafico.Journal()->Failed());
    grafico.SpeedButton3Click();
    const_cast<RecordingJournal*>(grafico.Journal())->WaitIdle();
    EXPECT_TRUE(UnfinishedJournals(folder).empty()); // finished: nothing to recover

    const fs::path file = grafico.Journal()->File();
    const std::optional<Recording> read = ReadRecording(file);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->Finished);
    EXPECT_EQ(read->Header.Window, QStringLiteral("Grafico"));
    EXPECT_EQ(read->Header.OutputIndex, 0);
    EXPECT_EQ(read->Header.OutputTitle, outputText);
    EXPECT_EQ(read->Header.Unit, QStringLiteral("mt/sec"));
    EXPECT_EQ(read->Header.FullScale, 1500);
    ASSERT_EQ(read->Samples.size(), 25u);
    for (int32_t i = 0; i < 25; ++i) {
        EXPECT_EQ(read->Samples[size_t(i)].Primary, grafico.PrimarySample(i));
        EXPECT_EQ(read->Samples[size_t(i)].Secondary, grafico.SecondarySample(i));
        EXPECT_EQ(read->Samples[size_t(i)].TimeMs, grafico.SampleTimeMs(i));
    }
}

TEST_F(ChartJournal, TheLastSampleOfTheDayFinishesTheJournal) {
    TDebugForm debugForm(tables, Sources());
    debugForm.SpeedButton2Click();
    debugForm.Timer2.stop();
    tables.StatusWords[9] = 4000;
    while (debugForm.Acquiring())
        debugForm.Timer2Timer();
    const_cast<RecordingJournal*>(debugForm.Journal())->WaitIdle();
    EXPECT_TRUE(UnfinishedJournals(folder).empty());
    const std::optional<Recording> read = ReadRecording(debugForm.Journal()->File());
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->Finished);
    EXPECT_EQ(read->Header.Window, QStringLiteral("Debug"));
    ASSERT_EQ(read->Samples.size(), size_t{TChartForm::Capacity});
    EXPECT_EQ(read->Samples.back().Secondary, 1200); // stored rescaled, as the window keeps it
}

TEST_F(ChartJournal, AnUnwritableFolderLeavesTheAcquisitionRunningAndSaysSoOnce) {
    // A folder inside a regular file cannot be created, whoever runs the test.
    std::ofstream(dir.filePath(QStringLiteral("plain-file")).toStdString()) << "x";
    folder = fs::path(dir.filePath(QStringLiteral("plain-file")).toStdString()) / "recordings";
    ErrorReports errors;
    TGraficoForm grafico(tables, Sources());
    grafico.show();
    grafico.SpeedButton2Click();
    for (int i = 0; i < 5; ++i)
        grafico.Timer2Timer();
    EXPECT_TRUE(grafico.Acquiring());
    EXPECT_EQ(grafico.SampleCount(), 5);
    EXPECT_EQ(grafico.Edit1.text(), QStringLiteral("0:00:05"));
    EXPECT_FALSE(grafico.JournalProblem().isEmpty());
    EXPECT_TRUE(grafico.LabelRec.isVisible());
    EXPECT_TRUE(grafico.LabelRec.text().startsWith(
        QStringLiteral("La registrazione non viene salvata su disco")));
    EXPECT_TRUE(grafico.LabelRec.text().contains(grafico.JournalProblem()));
    EXPECT_EQ(grafico.Edit1.toolTip(), grafico.LabelRec.text());
    EXPECT_TRUE(errors.messages.empty()); // no dialog for each sample, nor for the first

    Translation().SetLanguage(2);
    EXPECT_TRUE(grafico.LabelRec.text().startsWith(
        QStringLiteral("The recording is not being saved to disk")));
    Translation().SetLanguage(1);

    // A new acquisition into a folder that works again starts clean.
    folder = fs::path(dir.path().toStdString()) / "recordings";
    grafico.SpeedButton3Click();
    grafico.SpeedButton2Click();
    grafico.Timer2Timer();
    EXPECT_TRUE(grafico.JournalProblem().isEmpty());
    EXPECT_FALSE(grafico.LabelRec.isVisible());
}

// The application's window set, recovering from the recordings folder under XDG_DATA_HOME.
class ChartRecovery : public WindowSetTest {
protected:
    fs::path Recordings() const { return Folder() / "data" / "vextor-config" / "recordings"; }
    // After DestroyWindows: whether the run left `count` journals unfinished, once their writers
    // have let go of them (a journal's sync thread closes its file just after its window).
    bool LeftUnfinished(size_t count) const {
        return SpinUntil([&] { return UnfinishedJournals(Recordings()).size() == count; }, 10000);
    }
};

// A program killed while it records: every sample it had stored comes back.
TEST_F(ChartRecovery, EverySampleStoredBeforeAKillComesBackInItsWindow) {
    QProcess recorder;
    recorder.start(QStringLiteral(VEXTOR_CHART_RECORDER),
                   {QString::fromStdString(Recordings().string())});
    ASSERT_TRUE(recorder.waitForStarted(30000));
    std::vector<Stored> stored;
    QByteArray pending;
    const bool enough = SpinUntil(
        [&] {
            recorder.waitForReadyRead(50);
            pending += recorder.readAllStandardOutput();
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                std::istringstream line(pending.left(end).toStdString());
                pending.remove(0, end + 1);
                int index = 0;
                Stored s{};
                long long time = 0;
                line >> index >> s.primary >> s.secondary >> time;
                s.timeMs = time;
                EXPECT_EQ(index, static_cast<int>(stored.size()));
                stored.push_back(s);
            }
            return stored.size() >= 3000;
        },
        60000);
    ASSERT_TRUE(enough) << "the recorder reported " << stored.size() << " samples";
    recorder.kill(); // SIGKILL: no destructor, no flush of our own runs
    ASSERT_TRUE(recorder.waitForFinished(30000));
    // What it printed after the last complete line is not counted; what it stored later than
    // its last report may be in the journal too.
    CreateWindows();
    MainForm->show();
    const QString notice = RecoverRecordings(Recordings());
    ASSERT_FALSE(notice.isEmpty());
    ASSERT_GE(GraficoForm->SampleCount(), static_cast<int32_t>(stored.size()));
    for (size_t i = 0; i < stored.size(); ++i) {
        const auto n = static_cast<int32_t>(i);
        ASSERT_EQ(GraficoForm->PrimarySample(n), stored[i].primary) << i;
        ASSERT_EQ(GraficoForm->SecondarySample(n), stored[i].secondary) << i;
        ASSERT_EQ(GraficoForm->SampleTimeMs(n), stored[i].timeMs) << i;
    }
    EXPECT_FALSE(GraficoForm->Acquiring());
    EXPECT_TRUE(GraficoForm->ShowsLoadedRecording());
    // Recovered once: the next start finds nothing more.
    EXPECT_TRUE(UnfinishedJournals(Recordings()).empty());
    EXPECT_TRUE(RecoverRecordings(Recordings()).isEmpty());
}

TEST_F(ChartRecovery, ARecordingLeftByAClosedProgramReturnsAsRecordedWithANotice) {
    // A run that closes during two acquisitions, with velocity on the output.
    CreateWindows();
    MainForm->ComboBox1.setCurrentIndex(0);
    MainForm->Tables.SetupWords[6] = 2000;
    GraficoForm->SpeedButton2Click();
    DebugForm->SpeedButton2Click();
    for (int i = 0; i < 3725; ++i) {
        GraficoForm->AddSample(100 + i % 500, 215);
        if (i < 10)
            DebugForm->Timer2Timer();
    }
    const QString title = MainForm->ComboBox1.currentText();
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(GraficoForm->SampleTimeMs(0));
    DestroyWindows();
    ASSERT_TRUE(LeftUnfinished(2));

    // The next run has a flow on the output and another full scale.
    CreateWindows();
    MainForm->ComboBox1.setCurrentIndex(1);
    MainForm->Tables.SetupWords[6] = 9;
    MainForm->show();
    const QString notice = RecoverRecordings(Recordings());
    EXPECT_TRUE(notice.startsWith(QStringLiteral("Recuperata una registrazione di 1:02:05 del ")))
        << notice.toStdString();
    EXPECT_TRUE(notice.endsWith(QStringLiteral("si può vedere in \"Grafico\".")))
        << notice.toStdString();
    EXPECT_EQ(MainForm->StaticText1.text(), notice);
    EXPECT_TRUE(MainForm->StaticText1.isVisible());
    EXPECT_GE(MainForm->StaticText1.height(), 40); // room for the whole sentence

    EXPECT_EQ(GraficoForm->SampleCount(), 3725);
    EXPECT_EQ(GraficoForm->Edit1.text(), QStringLiteral("1:02:05"));
    EXPECT_EQ(GraficoForm->AdvGDIPChartView1.Panes[0].Title, title); // as recorded
    EXPECT_EQ(GraficoForm->AdvGDIPChartView1.Panes[0].Series[0].Maximum, 2000);
    EXPECT_DOUBLE_EQ(GraficoForm->AdvGDIPChartView1.Panes[0].Series[0].PointY(0), 1.00);
    EXPECT_EQ(DebugForm->SampleCount(), 10);
    EXPECT_TRUE(GraficoForm->SpeedButton2.isEnabled());

    // "Start ADQ" begins a new recording with today's output type.
    GraficoForm->SpeedButton2Click();
    GraficoForm->Timer2Timer();
    EXPECT_FALSE(GraficoForm->ShowsLoadedRecording());
    EXPECT_EQ(GraficoForm->AdvGDIPChartView1.Panes[0].Title, MainForm->ComboBox1.currentText());
    GraficoForm->SpeedButton3Click();
}

// The program's own start, as main() runs it: what the last run left unfinished is back in its
// window, with the notice, without anything else asking for it.
TEST_F(ChartRecovery, TheStartOfTheProgramBringsBackWhatTheLastRunLeftUnfinished) {
    CreateWindows();
    GraficoForm->SpeedButton2Click();
    DebugForm->SpeedButton2Click();
    for (int i = 0; i < 65; ++i) {
        GraficoForm->AddSample(300 + i, 215);
        if (i < 7)
            DebugForm->Timer2Timer();
    }
    DestroyWindows(); // closed during both acquisitions
    ASSERT_TRUE(LeftUnfinished(2));

    StartApplication();
    MainForm->TimerConnect.stop(); // no sensor: no port is probed
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(GraficoForm->SampleCount(), 65);
    EXPECT_EQ(GraficoForm->PrimarySample(64), 364);
    EXPECT_TRUE(GraficoForm->ShowsLoadedRecording());
    EXPECT_FALSE(GraficoForm->Acquiring());
    EXPECT_EQ(DebugForm->SampleCount(), 7);
    EXPECT_TRUE(MainForm->StaticText1.text().startsWith(
        QStringLiteral("Recuperata una registrazione di 0:01:05 del ")))
        << MainForm->StaticText1.text().toStdString();
    EXPECT_TRUE(UnfinishedJournals(Recordings()).empty());
}

TEST_F(ChartRecovery, TheNoticeIsInTheActiveLanguage) {
    CreateWindows();
    GraficoForm->SpeedButton2Click();
    GraficoForm->AddSample(1, 2);
    DestroyWindows();
    ASSERT_TRUE(LeftUnfinished(1));
    WriteSettings("[Vextor]\r\nLang=1\r\n"); // English
    CreateWindows();
    MainForm->show();
    const QString notice = RecoverRecordings(Recordings());
    EXPECT_TRUE(notice.startsWith(QStringLiteral("A recording of 0:00:01 from ")))
        << notice.toStdString();
    EXPECT_TRUE(notice.endsWith(QStringLiteral("it can be viewed in \"Grafico\".")));
}

} // namespace
