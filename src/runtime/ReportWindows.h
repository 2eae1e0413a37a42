#pragma once
// The windows of the report engine: the output-options dialog, the status window and the modal
// preview, and the laid-out page they show. TRvSystem (ReportEngine.h) drives them; tests build
// them directly to look at them.
#include "runtime/ReportEngine.h"

#include <QDialog>
#include <QPageLayout>
#include <QPicture>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSpinBox;

// One laid-out page: what the page handler drew, recorded once at the picture's own resolution,
// and the paper it was laid out for (no margins: the origin is the paper's corner).
struct TReportPage {
    QPicture Picture;
    QPageLayout Layout;

    // Plays the page onto a painter whose origin is the paper's top-left corner and whose device
    // has dpiX x dpiY dots per inch.
    void Play(QPainter& painter, double dpiX, double dpiY) const;
    // Paper size in inches.
    QSizeF PaperInches() const;
};

// "Output Options": where the page goes (preview, printer or file) and, for a printer, its setup,
// copies, collation and duplex. Without any printer installed it offers preview and file only.
class TOutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // formats: what the file destination offers, the first preselected (the format box is
    // shown only when there is a choice).
    TOutputOptionsDialog(const QString& title, TRvSystem::Destination preselected,
                         QPageLayout::Orientation orientation, QWidget* parent = nullptr,
                         const QList<TRvSystem::FileFormat>& formats = {
                             TRvSystem::FileFormat::Pdf});
    ~TOutputOptionsDialog() override;

    // The user's choice once the dialog is accepted.
    TRvSystem::OutputChoice Choice() const;

    QRadioButton* PreviewButton = nullptr;
    QRadioButton* PrinterButton = nullptr;
    QRadioButton* FileButton = nullptr;
    QComboBox* PrinterBox = nullptr;
    QPushButton* SetupButton = nullptr;
    QLabel* NoPrinterLabel = nullptr;
    QSpinBox* CopiesBox = nullptr;
    QCheckBox* CollateBox = nullptr;
    QComboBox* DuplexBox = nullptr;
    QLineEdit* FileEdit = nullptr;
    QPushButton* BrowseButton = nullptr;
    QComboBox* FormatBox = nullptr; // item data: the TRvSystem::FileFormat
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    void UpdateControls();
    void SelectPrinter(int index);
    void Browse();
    void Setup();
    TRvSystem::FileFormat Format() const;
    // A typed or browsed name with a known suffix selects its format; a format chosen in the
    // box gives a typed name its suffix.
    void FollowSuffix();
    void FormatChosen();
    void AcceptChoice();

    std::shared_ptr<QPrinter> printer_;
    QPageLayout::Orientation orientation_;
};

// "Report Status": a small window that tells which page is being generated or printed.
class TReportStatus : public QWidget {
    Q_OBJECT
public:
    explicit TReportStatus(const QString& title, QWidget* parent = nullptr);
    // Shows text with %p replaced by the page number, and paints it at once.
    void ShowStatus(const QString& text, int page);
    QString Text() const;

private:
    QLabel* label_ = nullptr;
};

// The page drawn scaled to fit on a grey desk.
class TPageView : public QWidget {
    Q_OBJECT
public:
    explicit TPageView(const TReportPage& page, QWidget* parent = nullptr);
    // Where the paper lies in the widget.
    QRectF PaperRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TReportPage& page_;
};

// "Report Preview": the page with Print, Save (PDF) and Close.
class TReportPreview : public QDialog {
    Q_OBJECT
public:
    TReportPreview(const QString& title, const TReportPage& page, bool canPrint,
                   QWidget* parent = nullptr);

    std::function<void()> OnPrintPage;
    std::function<void()> OnSavePage;

    TPageView* PageView = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* CloseButton = nullptr;
};
