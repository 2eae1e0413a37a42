// The report engine: output options, status window, preview, PDF file. The PDF pages are
// rendered with poppler's pdftoppm and their pixels checked.
#include "PdfRender.h"
#include "runtime/ReportEngine.h"
#include "runtime/ReportWindows.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace {

using Destination = TRvSystem::Destination;

const QColor FrameRed(255, 0, 0);
const QColor InsideBlue(0, 0, 255);

// A window-sized test picture: blue with a red frame 32 pixels wide.
QImage FramedPicture() {
    QImage image(1024, 768, QImage::Format_RGB32);
    image.fill(FrameRed);
    QPainter painter(&image);
    painter.fillRect(QRect(32, 32, 1024 - 64, 768 - 64), InsideBlue);
    return image;
}

// A visible window with this title, or null.
QWidget* VisibleWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title)
            return w;
    return nullptr;
}

// Saves a look at a window where VEXTOR_SHOT_DIR points, if it is set.
void SaveShot(QWidget& window, const QString& name) {
    const QString dir = qEnvironmentVariable("VEXTOR_SHOT_DIR");
    if (!dir.isEmpty())
        window.grab().save(QDir(dir).filePath(name));
}

bool IsWhite(QRgb p) {
    return qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240;
}
bool IsNear(QRgb p, const QColor& c) {
    return std::abs(qRed(p) - c.red()) < 60 && std::abs(qGreen(p) - c.green()) < 60 &&
           std::abs(qBlue(p) - c.blue()) < 60;
}

class ReportEngineTest : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        ASSERT_TRUE(dir.isValid());
        engine.OnPrint = [this](TBaseReport& report) {
            ++printed;
            report.PrintBitmapRect(0.5, 0.5, 11.0, 7.5, picture);
        };
    }

    void ChooseOutput(Destination where, const QString& fileName = {}) {
        engine.ChooseOutput = [where, fileName]() -> std::optional<TRvSystem::OutputChoice> {
            TRvSystem::OutputChoice choice;
            choice.Where = where;
            choice.FileName = fileName;
            return choice;
        };
    }

    static QString PdfInfo(const QString& pdf) {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (tool.isEmpty())
            return {};
        QProcess process;
        process.start(tool, {pdf});
        process.waitForFinished(30000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    // A printer as the output options hand it over, writing a PDF file instead of paper.
    static std::shared_ptr<QPrinter> PdfPrinter(const QString& pdf) {
        auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        printer->setPageOrientation(QPageLayout::Landscape);
        return printer;
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QImage picture = FramedPicture();
    TRvSystem engine;
    int printed = 0;
};

// ---- PDF file ----

TEST_F(ReportEngineTest, PdfPageIsLandscapeWithThePictureInItsRectangle) {
    if (!CanRenderPdf())
        GTEST_SKIP() << "pdftoppm (poppler-utils) not installed";
    constexpr int dpi = 40;
    struct Case {
        QPageSize::PageSizeId paper;
        bool throughPrinter; // a printer that prints to a PDF file, with its usual margins
        QSize pagePixels;    // landscape, at 40 dpi
    };
    const std::vector<Case> cases = {
        {QPageSize::Letter, false, QSize(440, 340)}, // 11 x 8.5 in
        {QPageSize::A4, false, QSize(468, 331)},     // 297 x 210 mm
        {QPageSize::Letter, true, QSize(440, 340)},
        {QPageSize::A4, true, QSize(468, 331)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QPageSize(c.paper).name().toStdString() +
                     (c.throughPrinter ? " printer" : " file"));
        const QString pdf =
            Path(QPageSize(c.paper).key() +
                 (c.throughPrinter ? QStringLiteral("-printer.pdf") : QStringLiteral(".pdf")));
        if (c.throughPrinter) {
            auto printer = PdfPrinter(pdf);
            printer->setPageSize(QPageSize(c.paper));
            engine.ChooseOutput = [printer] {
                TRvSystem::OutputChoice choice;
                choice.Where = Destination::Printer;
                choice.Printer = printer;
                return std::optional(choice);
            };
        } else {
            engine.PageSize = QPageSize(c.paper);
            ChooseOutput(Destination::File, pdf);
        }
        printed = 0;
        engine.Execute();
        EXPECT_EQ(printed, 1);

        const QImage page = RenderPdf(pdf, dpi);
        ASSERT_FALSE(page.isNull());
        EXPECT_NEAR(page.width(), c.pagePixels.width(), 1);
        EXPECT_NEAR(page.height(), c.pagePixels.height(), 1);

        // Everything painted lies in 0.5 .. 11.0 x 0.5 .. 7.5 inches, and fills it.
        QRect painted;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (!IsWhite(page.pixel(x, y)))
                    painted |= QRect(x, y, 1, 1);
        EXPECT_NEAR(painted.left(), 20, 1);
        EXPECT_NEAR(painted.top(), 20, 1);
        EXPECT_NEAR(painted.right() + 1, 440, 1);
        EXPECT_NEAR(painted.bottom() + 1, 300, 1);
        // The frame on all four sides, the inside blue, the margins white.
        EXPECT_TRUE(IsNear(page.pixel(23, 160), FrameRed));
        EXPECT_TRUE(IsNear(page.pixel(436, 160), FrameRed));
        EXPECT_TRUE(IsNear(page.pixel(230, 23), FrameRed));
        EXPECT_TRUE(IsNear(page.pixel(230, 296), FrameRed));
        EXPECT_TRUE(IsNear(page.pixel(230, 160), InsideBlue));
        EXPECT_TRUE(IsWhite(page.pixel(10, 160)));
        EXPECT_TRUE(IsWhite(page.pixel(230, 10)));
        EXPECT_TRUE(IsWhite(page.pixel(230, 320)));
        EXPECT_TRUE(
            PdfInfo(pdf).contains(QRegularExpression(QStringLiteral("Title:\\s+Rave Report\\n"))));
    }
}

TEST_F(ReportEngineTest, PrinterGetsTheCopiesAsked) {
    const QString pdf = Path(QStringLiteral("copies.pdf"));
    auto printer = PdfPrinter(pdf);
    printer->setCopyCount(2);
    engine.ChooseOutput = [printer] {
        TRvSystem::OutputChoice choice;
        choice.Where = Destination::Printer;
        choice.Printer = printer;
        choice.Copies = 2;
        return std::optional(choice);
    };
    engine.Execute();
    const QString info = PdfInfo(pdf);
    if (info.isEmpty())
        GTEST_SKIP() << "pdfinfo (poppler-utils) not installed";
    EXPECT_EQ(printed, 1);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))))
        << info.toStdString();
}

TEST_F(ReportEngineTest, FileNameWithoutSuffixGetsPdf) {
    ChooseOutput(Destination::File, Path(QStringLiteral("chart")));
    engine.Execute();
    QFile file(Path(QStringLiteral("chart.pdf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
}

TEST_F(ReportEngineTest, UnwritableFileIsReportedWithItsNameAndReason) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.pdf")));
    const std::vector<QString> files = {
        Path(QStringLiteral("no-such-folder/chart.pdf")), // folder missing
        Path(QStringLiteral("taken.pdf")),                // a folder of that name
    };
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        ErrorReports errors;
        ChooseOutput(Destination::File, file);
        engine.Execute();
        ASSERT_EQ(errors.messages.size(), 1u);
        const QString& message = errors.messages.front();
        EXPECT_TRUE(message.contains(QDir::toNativeSeparators(file))) << message.toStdString();
        EXPECT_FALSE(message.trimmed().endsWith(':')) << "no reason: " << message.toStdString();
        EXPECT_FALSE(QFileInfo(file).isFile());
        EXPECT_EQ(VisibleWindow(QStringLiteral("Report Status")), nullptr);
    }
}

TEST_F(ReportEngineTest, PrinterChosenWithoutAnyPrinterIsReported) {
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed";
    ErrorReports errors;
    ChooseOutput(Destination::Printer);
    engine.Execute();
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages.front(), QStringLiteral("No printer installed."));
    EXPECT_EQ(printed, 0);
}

// ---- Cancel ----

TEST_F(ReportEngineTest, CancelledOptionsPrintNothing) {
    engine.ChooseOutput = [] { return std::optional<TRvSystem::OutputChoice>(); };
    int previews = 0;
    engine.RunPreview = [&](QWidget&) { ++previews; };
    engine.Execute();
    EXPECT_EQ(printed, 0);
    EXPECT_EQ(previews, 0);
    EXPECT_EQ(VisibleWindow(QStringLiteral("Report Status")), nullptr);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// ---- Status window ----

TEST_F(ReportEngineTest, StatusWindowShowsTheGeneratedPageAndCloses) {
    for (Destination where : {Destination::Preview, Destination::File}) {
        SCOPED_TRACE(static_cast<int>(where));
        QString seen;
        engine.OnPrint = [&](TBaseReport&) {
            if (auto* status =
                    dynamic_cast<TReportStatus*>(VisibleWindow(QStringLiteral("Report Status"))))
                seen = status->Text();
        };
        bool statusDuringPreview = true;
        engine.RunPreview = [&](QWidget&) {
            statusDuringPreview = VisibleWindow(QStringLiteral("Report Status")) != nullptr;
        };
        ChooseOutput(where, Path(QStringLiteral("status.pdf")));
        engine.Execute();
        EXPECT_EQ(seen, QStringLiteral("Generating page 1"));
        EXPECT_EQ(VisibleWindow(QStringLiteral("Report Status")), nullptr);
        if (where == Destination::Preview) {
            EXPECT_FALSE(statusDuringPreview);
        }
    }
}

// ---- Preview ----

TEST_F(ReportEngineTest, PreviewShowsThePageAndSavesIt) {
    ChooseOutput(Destination::Preview);
    const QString saved = Path(QStringLiteral("saved.pdf"));
    engine.ChooseSaveFile = [&] { return saved; };
    bool shown = false;
    engine.RunPreview = [&](QWidget& window) {
        shown = true;
        auto* preview = dynamic_cast<TReportPreview*>(&window);
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(preview->isVisible());
        EXPECT_TRUE(preview->isModal());
        EXPECT_EQ(preview->windowTitle(), QStringLiteral("Report Preview"));
        EXPECT_EQ(printed, 1);

        // The page fills the view at its landscape proportions, the picture on it.
        const QRectF paper = preview->PageView->PaperRect();
        EXPECT_NEAR(paper.width() / paper.height(), 11.0 / 8.5, 0.01);
        const QImage view = preview->PageView->grab().toImage();
        const double scale = paper.width() / 11.0; // pixels per inch
        const auto at = [&](double xIn, double yIn) {
            return view.pixel(qRound(paper.left() + xIn * scale),
                              qRound(paper.top() + yIn * scale));
        };
        EXPECT_TRUE(IsNear(at(5.75, 4.0), InsideBlue));
        EXPECT_TRUE(IsNear(at(0.55, 4.0), FrameRed));
        EXPECT_TRUE(IsWhite(at(0.25, 4.0)));
        EXPECT_TRUE(IsWhite(at(5.75, 8.0)));
        SaveShot(*preview, QStringLiteral("report-preview.png"));

        Click(*preview->SaveButton);
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.read(5) == "%PDF-");
        EXPECT_EQ(printed, 1); // the page is laid out once

        Click(*preview->CloseButton);
        EXPECT_FALSE(preview->isVisible());
    };
    engine.Execute();
    EXPECT_TRUE(shown);
    EXPECT_EQ(printed, 1);
}

TEST_F(ReportEngineTest, SaveCancelledOrFailingWritesNothingAndSaysWhy) {
    ChooseOutput(Destination::Preview);
    QString answer;
    engine.ChooseSaveFile = [&] { return answer; };
    ErrorReports errors;
    engine.RunPreview = [&](QWidget& window) {
        auto& preview = dynamic_cast<TReportPreview&>(window);
        answer.clear(); // Cancel in the file dialog
        Click(*preview.SaveButton);
        EXPECT_TRUE(errors.messages.empty());
        answer = Path(QStringLiteral("missing/saved.pdf"));
        Click(*preview.SaveButton);
        ASSERT_EQ(errors.messages.size(), 1u);
        EXPECT_TRUE(errors.messages.front().contains(QDir::toNativeSeparators(answer)));
        EXPECT_TRUE(preview.isVisible()); // the preview stays for another try
    };
    engine.Execute();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Closes whatever modal window is still open after a generous deadline, so that a window that
// does not close fails the test instead of hanging it.
class FailSafe {
public:
    FailSafe() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                fired = true;
                modal->close();
            }
        });
        timer_.start(20000);
    }
    bool fired = false;

private:
    QTimer timer_;
};

TEST_F(ReportEngineTest, PreviewIsModalTimersRunAndCloseOrEscapeEndsExecute) {
    for (bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "Escape" : "Close");
        ChooseOutput(Destination::Preview);
        int ticks = 0;
        QTimer otherWindowsTimer;
        QObject::connect(&otherWindowsTimer, &QTimer::timeout, [&] { ++ticks; });
        otherWindowsTimer.start(10);
        engine.OnPrint = [&](TBaseReport&) { ticks = 0; };

        bool closed = false;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            auto* preview = dynamic_cast<TReportPreview*>(QApplication::activeModalWidget());
            if (!preview || ticks < 3) // other windows' timers tick while the preview is open
                return;
            user.stop();
            closed = true;
            if (byKey)
                SendKey(*preview, Qt::Key_Escape);
            else
                Click(*preview->CloseButton);
        });
        user.start(10);
        FailSafe failSafe;
        engine.Execute();
        EXPECT_TRUE(closed);
        EXPECT_FALSE(failSafe.fired);
        EXPECT_EQ(VisibleWindow(QStringLiteral("Report Preview")), nullptr);
    }
}

// ---- Output options ----

TEST_F(ReportEngineTest, WithoutPrinterTheDialogOffersPreviewAndFile) {
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed";
    engine.DefaultDestination = Destination::Printer; // not available: preview instead
    bool looked = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* dialog = dynamic_cast<TOutputOptionsDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        user.stop();
        looked = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Output Options"));
        EXPECT_TRUE(dialog->PreviewButton->isChecked());
        EXPECT_FALSE(dialog->PrinterButton->isEnabled());
        EXPECT_TRUE(dialog->FileButton->isEnabled());
        EXPECT_TRUE(dialog->NoPrinterLabel->isVisible());
        EXPECT_EQ(dialog->NoPrinterLabel->text(), QStringLiteral("No printer installed"));
        EXPECT_FALSE(dialog->CopiesBox->isEnabled());
        SaveShot(*dialog, QStringLiteral("output-options.png"));
        Click(*dialog->CancelButton);
    });
    user.start(10);
    FailSafe failSafe;
    engine.Execute();
    EXPECT_TRUE(looked);
    EXPECT_FALSE(failSafe.fired);
    EXPECT_EQ(printed, 0);
}

TEST_F(ReportEngineTest, DialogChoosesAFileOnlyWithAName) {
    TOutputOptionsDialog dialog(QStringLiteral("Output Options"), Destination::Preview,
                                QPageLayout::Landscape);
    dialog.show();
    EXPECT_TRUE(dialog.OkButton->isEnabled());
    EXPECT_EQ(dialog.Choice().Where, Destination::Preview);

    Click(*dialog.FileButton);
    EXPECT_TRUE(dialog.FileEdit->isEnabled());
    EXPECT_FALSE(dialog.OkButton->isEnabled()); // no name yet
    TypeText(*dialog.FileEdit, Path(QStringLiteral("typed")));
    ASSERT_TRUE(dialog.OkButton->isEnabled());
    Click(*dialog.OkButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const TRvSystem::OutputChoice choice = dialog.Choice();
    EXPECT_EQ(choice.Where, Destination::File);
    EXPECT_EQ(choice.FileName, Path(QStringLiteral("typed.pdf")));
}

} // namespace
