#pragma once
// The report engine of the chart windows (`TRvSystem`, member `RvSystemR` of each window): an
// output-options dialog ("Output Options": preview, printer or file; printer setup, copies,
// collation and duplex where the printer offers them; preview by default), a status window
// ("Report Status", "Generating page %p" / "Printing page %p"), a modal preview ("Report
// Preview") from which the page can be printed or saved, and a file destination that writes PDF.
// Execute() shows the dialog and, unless it is cancelled, calls OnPrint to lay out the page on a
// TBaseReport, then previews, prints or writes it. Works without any printer installed (preview
// and file then). Built on Qt PrintSupport; everything runs on the UI thread.
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;
class QWidget;
class TReportStatus;
struct TReportPage;

// The drawing surface of one page, in inches from the page's top-left corner.
class TBaseReport {
public:
    TBaseReport(QPainter& painter, double dotsPerInchX, double dotsPerInchY);
    // Draws the whole bitmap stretched to fill the rectangle (x1, y1) - (x2, y2), in inches.
    void PrintBitmapRect(double x1, double y1, double x2, double y2, const QImage& bitmap);
    QPainter& Painter() { return painter_; }

private:
    QPainter& painter_;
    double dpiX_;
    double dpiY_;
};

class TRvSystem {
public:
    enum class Destination { Preview, Printer, File };
    // What the file destination writes: the page as PDF, or what the owner writes itself
    // through OnWriteFile (a picture, the data).
    enum class FileFormat { Pdf, Png, Csv };

    // What the output-options dialog returns when it is not cancelled.
    struct OutputChoice {
        Destination Where = Destination::Preview;
        QString FileName; // for Destination::File
        FileFormat Format = FileFormat::Pdf;
        int Copies = 1;
        // For Destination::Printer: the printer as the user set it up (paper, copies, collation,
        // duplex). None: the system's default printer with Copies copies.
        std::shared_ptr<QPrinter> Printer;
    };

    TRvSystem();
    ~TRvSystem();
    TRvSystem(const TRvSystem&) = delete;
    TRvSystem& operator=(const TRvSystem&) = delete;

    // Settings (the same in both chart windows).
    QPageLayout::Orientation Orientation = QPageLayout::Landscape;
    Destination DefaultDestination = Destination::Preview;
    QString TitleSetup = QStringLiteral("Output Options");
    QString TitleStatus = QStringLiteral("Report Status");
    QString TitlePreview = QStringLiteral("Report Preview");
    QString StatusTextGenerating = QStringLiteral("Generating page %p");
    QString StatusTextPrinting = QStringLiteral("Printing page %p");
    QString JobTitle = QStringLiteral("Rave Report");
    // The paper of the preview and of PDF files; a printer uses its own.
    QPageSize PageSize = QPageSize(QPageSize::Letter);

    // The page handler: lays out the one page.
    std::function<void(TBaseReport& report)> OnPrint;
    // The formats the file destination offers (the first is preselected); PDF alone by default.
    QList<FileFormat> FileFormats{FileFormat::Pdf};
    // Writes a file of a format other than PDF; returns whether it was written (and reports
    // its own errors).
    std::function<bool(FileFormat format, const QString& fileName)> OnWriteFile;

    // The file suffix of a format, without the dot ("pdf").
    static QString SuffixOf(FileFormat format);
    // The name with the format's suffix added when it has none.
    static QString WithSuffix(const QString& fileName, FileFormat format);

    // Shows the output-options dialog; unless cancelled, lays out the page through OnPrint and
    // previews, prints or writes it. Returns when all of that is over.
    void Execute();
    // Lays out the page through OnPrint and writes it to a PDF file, without any dialog; returns
    // whether it was written (errors are reported).
    bool WritePdfFile(const QString& fileName);

    // ---- Test seams ----
    // Replaces the output-options dialog: returns the user's choice, or nothing for Cancel.
    std::function<std::optional<OutputChoice>()> ChooseOutput;
    // Replaces the modal preview's event loop: called with the preview widget shown.
    std::function<void(class QWidget& preview)> RunPreview;
    // Replaces the file dialog of the preview's Save: returns the PDF file name, empty for Cancel.
    std::function<QString()> ChooseSaveFile;

private:
    QPageLayout PaperLayout() const;
    TReportPage LayOutPage(const QPageLayout& layout, TReportStatus& status);
    void ShowPreview(const TReportPage& page, QWidget* parent);
    bool WritePdf(const TReportPage& page, const QString& fileName, TReportStatus& status);
    bool PrintPage(const TReportPage& page, QPrinter& printer, TReportStatus& status);
    void PrintFromPreview(const TReportPage& page, QWidget& preview);
    void SaveFromPreview(const TReportPage& page, QWidget& preview);
};
