#include "runtime/ReportEngine.h"

#include "platform/Exception.h"
#include "runtime/ErrorGuard.h"
#include "runtime/ReportWindows.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include <algorithm>
#include <exception>

namespace {

void ReportError(const QString& message) {
    ReportException(std::make_exception_ptr(Exception(message.toStdString())));
}

void ReportFileError(const QString& fileName, const QString& reason) {
    ReportError(QStringLiteral("Cannot write the PDF file \"%1\": %2")
                    .arg(QDir::toNativeSeparators(fileName), reason));
}

bool AnyPrinter() {
    return !QPrinterInfo::availablePrinters().isEmpty();
}

QString WithPdfSuffix(const QString& fileName) {
    return TRvSystem::WithSuffix(fileName, TRvSystem::FileFormat::Pdf);
}

} // namespace

TBaseReport::TBaseReport(QPainter& painter, double dotsPerInchX, double dotsPerInchY)
    : painter_(painter), dpiX_(dotsPerInchX), dpiY_(dotsPerInchY) {}

void TBaseReport::PrintBitmapRect(double x1, double y1, double x2, double y2,
                                  const QImage& bitmap) {
    const QRectF target(x1 * dpiX_, y1 * dpiY_, (x2 - x1) * dpiX_, (y2 - y1) * dpiY_);
    painter_.drawImage(target, bitmap);
}

QString TRvSystem::SuffixOf(FileFormat format) {
    switch (format) {
    case FileFormat::Png:
        return QStringLiteral("png");
    case FileFormat::Csv:
        return QStringLiteral("csv");
    case FileFormat::Pdf:
        break;
    }
    return QStringLiteral("pdf");
}

QString TRvSystem::WithSuffix(const QString& fileName, FileFormat format) {
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + '.' + SuffixOf(format) : fileName;
}

TRvSystem::TRvSystem() = default;
TRvSystem::~TRvSystem() = default;

QPageLayout TRvSystem::PaperLayout() const {
    return QPageLayout(PageSize, Orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Inch);
}

void TRvSystem::Execute() {
    QWidget* parent = QApplication::activeWindow();
    std::optional<OutputChoice> choice;
    if (ChooseOutput) {
        choice = ChooseOutput();
    } else {
        TOutputOptionsDialog dialog(TitleSetup, DefaultDestination, Orientation, parent,
                                    FileFormats);
        if (dialog.exec() == QDialog::Accepted)
            choice = dialog.Choice();
    }
    if (!choice)
        return;

    switch (choice->Where) {
    case Destination::Preview: {
        std::optional<TReportPage> page;
        {
            TReportStatus status(TitleStatus, parent);
            page = LayOutPage(PaperLayout(), status);
        }
        ShowPreview(*page, parent);
        break;
    }
    case Destination::File: {
        if (choice->FileName.trimmed().isEmpty()) {
            ReportError(QStringLiteral("No file name given for the %1 file.")
                            .arg(SuffixOf(choice->Format).toUpper()));
            return;
        }
        if (choice->Format != FileFormat::Pdf) {
            const QString name = WithSuffix(choice->FileName.trimmed(), choice->Format);
            if (OnWriteFile)
                OnWriteFile(choice->Format, name);
            else
                ReportError(QStringLiteral("Cannot write %1 files here.")
                                .arg(SuffixOf(choice->Format).toUpper()));
            return;
        }
        TReportStatus status(TitleStatus, parent);
        const TReportPage page = LayOutPage(PaperLayout(), status);
        WritePdf(page, WithPdfSuffix(choice->FileName.trimmed()), status);
        break;
    }
    case Destination::Printer: {
        std::shared_ptr<QPrinter> printer = choice->Printer;
        if (!printer) {
            const QPrinterInfo info = QPrinterInfo::defaultPrinter();
            if (info.isNull() && !AnyPrinter()) {
                ReportError(QStringLiteral("No printer installed."));
                return;
            }
            printer = std::make_shared<QPrinter>(
                info.isNull() ? QPrinterInfo::availablePrinters().first() : info,
                QPrinter::HighResolution);
            printer->setPageOrientation(Orientation);
            printer->setCopyCount(choice->Copies);
        }
        const QPageLayout& used = printer->pageLayout();
        TReportStatus status(TitleStatus, parent);
        const TReportPage page = LayOutPage(QPageLayout(used.pageSize(), used.orientation(),
                                                        QMarginsF(0, 0, 0, 0), QPageLayout::Inch),
                                            status);
        PrintPage(page, *printer, status);
        break;
    }
    }
}

bool TRvSystem::WritePdfFile(const QString& fileName) {
    const QString name = fileName.trimmed();
    if (name.isEmpty()) {
        ReportError(QStringLiteral("No file name given for the PDF file."));
        return false;
    }
    TReportStatus status(TitleStatus, QApplication::activeWindow());
    const TReportPage page = LayOutPage(PaperLayout(), status);
    return WritePdf(page, WithPdfSuffix(name), status);
}

TReportPage TRvSystem::LayOutPage(const QPageLayout& layout, TReportStatus& status) {
    TReportPage page;
    page.Layout = layout;
    status.ShowStatus(StatusTextGenerating, 1);
    QPainter painter(&page.Picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    TBaseReport report(painter, page.Picture.logicalDpiX(), page.Picture.logicalDpiY());
    if (OnPrint)
        OnPrint(report);
    painter.end();
    return page;
}

void TRvSystem::ShowPreview(const TReportPage& page, QWidget* parent) {
    TReportPreview preview(TitlePreview, page, AnyPrinter(), parent);
    preview.OnPrintPage = [this, &page, &preview] { PrintFromPreview(page, preview); };
    preview.OnSavePage = [this, &page, &preview] { SaveFromPreview(page, preview); };
    if (RunPreview) {
        preview.show();
        RunPreview(preview);
        preview.hide();
    } else {
        preview.exec();
    }
}

void TRvSystem::SaveFromPreview(const TReportPage& page, QWidget& preview) {
    QString fileName;
    if (ChooseSaveFile)
        fileName = ChooseSaveFile();
    else
        fileName = QFileDialog::getSaveFileName(&preview, QStringLiteral("Save as PDF"),
                                                JobTitle + QStringLiteral(".pdf"),
                                                QStringLiteral("PDF files (*.pdf)"));
    fileName = fileName.trimmed();
    if (fileName.isEmpty())
        return;
    TReportStatus status(TitleStatus, &preview);
    WritePdf(page, WithPdfSuffix(fileName), status);
}

void TRvSystem::PrintFromPreview(const TReportPage& page, QWidget& preview) {
    if (!AnyPrinter()) {
        ReportError(QStringLiteral("No printer installed."));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(page.Layout.orientation());
    QPrintDialog dialog(&printer, &preview);
    dialog.setWindowTitle(QStringLiteral("Print"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TReportStatus status(TitleStatus, &preview);
    PrintPage(page, printer, status);
}

bool TRvSystem::WritePdf(const TReportPage& page, const QString& fileName, TReportStatus& status) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        ReportFileError(fileName, file.errorString());
        return false;
    }
    status.ShowStatus(StatusTextPrinting, 1);
    {
        QPdfWriter writer(&file);
        writer.setTitle(JobTitle);
        writer.setCreator(QStringLiteral("Vextor Config"));
        writer.setPageLayout(page.Layout);
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            ReportFileError(fileName, QStringLiteral("the PDF writer could not start"));
            return false;
        }
        page.Play(painter, writer.logicalDpiX(), writer.logicalDpiY());
        painter.end();
    }
    if (!file.commit()) {
        ReportFileError(fileName, file.errorString());
        return false;
    }
    return true;
}

bool TRvSystem::PrintPage(const TReportPage& page, QPrinter& printer, TReportStatus& status) {
    printer.setDocName(JobTitle);
    printer.setFullPage(true);
    status.ShowStatus(StatusTextPrinting, 1);
    QPainter painter;
    if (!painter.begin(&printer)) {
        ReportError(QStringLiteral("Cannot print on \"%1\".").arg(printer.printerName()));
        return false;
    }
    // Without native copies the job carries each copy itself.
    const int passes = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    for (int i = 0; i < passes; ++i) {
        if (i > 0)
            printer.newPage();
        page.Play(painter, printer.logicalDpiX(), printer.logicalDpiY());
    }
    painter.end();
    if (printer.printerState() == QPrinter::Error) {
        ReportError(QStringLiteral("Printing on \"%1\" failed.").arg(printer.printerName()));
        return false;
    }
    return true;
}
