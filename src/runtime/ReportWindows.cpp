#include "runtime/ReportWindows.h"

#include "runtime/ErrorGuard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Buttons large enough for a finger.
constexpr int TouchHeight = 36;

QPushButton* MakeButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setMinimumHeight(TouchHeight);
    button->setMinimumWidth(88);
    return button;
}

} // namespace

// ---- TReportPage ----

void TReportPage::Play(QPainter& painter, double dpiX, double dpiY) const {
    // drawPicture itself scales by the device's resolution over the picture's; the rest of the
    // scale is ours.
    const QPaintDevice* device = painter.device();
    const double deviceDpiX = device ? device->logicalDpiX() : Picture.logicalDpiX();
    const double deviceDpiY = device ? device->logicalDpiY() : Picture.logicalDpiY();
    painter.save();
    painter.scale(dpiX / deviceDpiX, dpiY / deviceDpiY);
    painter.drawPicture(0, 0, Picture);
    painter.restore();
}

QSizeF TReportPage::PaperInches() const {
    return Layout.fullRect(QPageLayout::Inch).size();
}

// ---- TOutputOptionsDialog ----

TOutputOptionsDialog::TOutputOptionsDialog(const QString& title, TRvSystem::Destination preselected,
                                           QPageLayout::Orientation orientation, QWidget* parent,
                                           const QList<TRvSystem::FileFormat>& formats)
    : QDialog(parent), orientation_(orientation) {
    setWindowTitle(title);
    setObjectName(QStringLiteral("OutputOptions"));

    auto* group = new QGroupBox(QStringLiteral("Send the report to"), this);
    auto* grid = new QGridLayout(group);

    PreviewButton = new QRadioButton(QStringLiteral("&Preview"), group);
    PrinterButton = new QRadioButton(QStringLiteral("P&rinter"), group);
    FileButton = new QRadioButton(
        formats.size() > 1 ? QStringLiteral("&File") : QStringLiteral("&File (PDF)"), group);
    for (QRadioButton* b : {PreviewButton, PrinterButton, FileButton})
        b->setMinimumHeight(TouchHeight - 8);

    PrinterBox = new QComboBox(group);
    SetupButton = MakeButton(QStringLiteral("&Setup…"), group);
    NoPrinterLabel = new QLabel(QStringLiteral("No printer installed"), group);
    auto* copiesLabel = new QLabel(QStringLiteral("&Copies:"), group);
    CopiesBox = new QSpinBox(group);
    CopiesBox->setRange(1, 999);
    CopiesBox->setMinimumHeight(TouchHeight - 8);
    copiesLabel->setBuddy(CopiesBox);
    CollateBox = new QCheckBox(QStringLiteral("C&ollate"), group);
    CollateBox->setChecked(true);
    auto* duplexLabel = new QLabel(QStringLiteral("&Duplex:"), group);
    DuplexBox = new QComboBox(group);
    duplexLabel->setBuddy(DuplexBox);
    FileEdit = new QLineEdit(group);
    FileEdit->setPlaceholderText(QStringLiteral("File name"));
    FileEdit->setMinimumWidth(240);
    BrowseButton = MakeButton(QStringLiteral("&Browse…"), group);
    auto* formatLabel = new QLabel(QStringLiteral("For&mat:"), group);
    FormatBox = new QComboBox(group);
    FormatBox->setMinimumHeight(TouchHeight - 8);
    formatLabel->setBuddy(FormatBox);
    static const std::pair<TRvSystem::FileFormat, const char*> formatNames[] = {
        {TRvSystem::FileFormat::Pdf, "PDF document (*.pdf)"},
        {TRvSystem::FileFormat::Png, "PNG picture (*.png)"},
        {TRvSystem::FileFormat::Csv, "CSV data for a spreadsheet (*.csv)"},
    };
    for (TRvSystem::FileFormat format : formats)
        for (const auto& [known, name] : formatNames)
            if (known == format && FormatBox->findData(static_cast<int>(format)) < 0)
                FormatBox->addItem(QString::fromUtf8(name), static_cast<int>(format));
    if (FormatBox->count() == 0)
        FormatBox->addItem(QString::fromUtf8(formatNames[0].second),
                           static_cast<int>(TRvSystem::FileFormat::Pdf));
    formatLabel->setVisible(FormatBox->count() > 1);
    FormatBox->setVisible(FormatBox->count() > 1);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(formatLabel);
    formatRow->addWidget(FormatBox, 1);

    auto* printerOptions = new QHBoxLayout;
    printerOptions->addWidget(copiesLabel);
    printerOptions->addWidget(CopiesBox);
    printerOptions->addSpacing(12);
    printerOptions->addWidget(CollateBox);
    printerOptions->addSpacing(12);
    printerOptions->addWidget(duplexLabel);
    printerOptions->addWidget(DuplexBox, 1);

    grid->addWidget(PreviewButton, 0, 0);
    grid->addWidget(PrinterButton, 1, 0);
    grid->addWidget(PrinterBox, 1, 1);
    grid->addWidget(SetupButton, 1, 2);
    grid->addWidget(NoPrinterLabel, 2, 1, 1, 2);
    grid->addLayout(printerOptions, 3, 1, 1, 2);
    grid->addWidget(FileButton, 4, 0);
    grid->addWidget(FileEdit, 4, 1);
    grid->addWidget(BrowseButton, 4, 2);
    grid->addLayout(formatRow, 5, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    OkButton = MakeButton(QStringLiteral("OK"), this);
    OkButton->setDefault(true);
    CancelButton = MakeButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);

    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    for (const QPrinterInfo& info : printers)
        PrinterBox->addItem(info.description().isEmpty() ? info.printerName() : info.description(),
                            info.printerName());
    const bool anyPrinter = !printers.isEmpty();
    NoPrinterLabel->setVisible(!anyPrinter);
    PrinterButton->setEnabled(anyPrinter);
    if (anyPrinter)
        SelectPrinter(std::max(0, PrinterBox->findData(defaultName)));

    switch (preselected) {
    case TRvSystem::Destination::Printer:
        (anyPrinter ? PrinterButton : PreviewButton)->setChecked(true);
        break;
    case TRvSystem::Destination::File:
        FileButton->setChecked(true);
        break;
    case TRvSystem::Destination::Preview:
        PreviewButton->setChecked(true);
        break;
    }

    for (QRadioButton* b : {PreviewButton, PrinterButton, FileButton})
        connect(b, &QRadioButton::toggled, this, [this] { UpdateControls(); });
    connect(PrinterBox, &QComboBox::activated, this, [this](int index) { SelectPrinter(index); });
    connect(CopiesBox, &QSpinBox::valueChanged, this, [this] { UpdateControls(); });
    connect(FileEdit, &QLineEdit::textChanged, this, [this] {
        FollowSuffix();
        UpdateControls();
    });
    connect(FormatBox, &QComboBox::activated, this, [this] { FormatChosen(); });
    connect(BrowseButton, &QPushButton::clicked, this, Guarded([this] { Browse(); }));
    connect(SetupButton, &QPushButton::clicked, this, Guarded([this] { Setup(); }));
    connect(OkButton, &QPushButton::clicked, this, [this] { AcceptChoice(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateControls();
}

TOutputOptionsDialog::~TOutputOptionsDialog() = default;

void TOutputOptionsDialog::SelectPrinter(int index) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(PrinterBox->itemData(index).toString());
    PrinterBox->setCurrentIndex(index);
    printer_ = std::make_shared<QPrinter>(info, QPrinter::HighResolution);
    printer_->setPageOrientation(orientation_);
    printer_->setFullPage(true);
    DuplexBox->clear();
    const QList<QPrinter::DuplexMode> modes = info.supportedDuplexModes();
    const std::pair<QPrinter::DuplexMode, const char*> names[] = {
        {QPrinter::DuplexNone, "None"},
        {QPrinter::DuplexLongSide, "Long edge"},
        {QPrinter::DuplexShortSide, "Short edge"},
    };
    for (const auto& [mode, name] : names)
        if (mode == QPrinter::DuplexNone || modes.contains(mode))
            DuplexBox->addItem(QString::fromLatin1(name), static_cast<int>(mode));
    UpdateControls();
}

void TOutputOptionsDialog::UpdateControls() {
    const bool toPrinter = PrinterButton->isChecked() && printer_ != nullptr;
    PrinterBox->setEnabled(toPrinter);
    SetupButton->setEnabled(toPrinter);
    CopiesBox->setEnabled(toPrinter);
    CollateBox->setEnabled(toPrinter && CopiesBox->value() > 1);
    DuplexBox->setEnabled(toPrinter && DuplexBox->count() > 1);
    const bool toFile = FileButton->isChecked();
    FileEdit->setEnabled(toFile);
    BrowseButton->setEnabled(toFile);
    FormatBox->setEnabled(toFile);
    OkButton->setEnabled(!toFile || !FileEdit->text().trimmed().isEmpty());
}

TRvSystem::FileFormat TOutputOptionsDialog::Format() const {
    return static_cast<TRvSystem::FileFormat>(FormatBox->currentData().toInt());
}

void TOutputOptionsDialog::FollowSuffix() {
    const QString suffix = QFileInfo(FileEdit->text().trimmed()).suffix().toLower();
    for (int i = 0; i < FormatBox->count(); ++i) {
        const auto format = static_cast<TRvSystem::FileFormat>(FormatBox->itemData(i).toInt());
        if (suffix == TRvSystem::SuffixOf(format)) {
            FormatBox->setCurrentIndex(i);
            return;
        }
    }
}

void TOutputOptionsDialog::FormatChosen() {
    const QString name = FileEdit->text().trimmed();
    if (name.isEmpty())
        return;
    const QFileInfo info(name);
    const QString wanted = TRvSystem::SuffixOf(Format());
    if (info.suffix().toLower() == wanted)
        return;
    // Only a suffix of one of the offered formats is replaced: "run.2026" stays a name.
    bool known = false;
    for (int i = 0; i < FormatBox->count(); ++i)
        known = known ||
                info.suffix().toLower() == TRvSystem::SuffixOf(static_cast<TRvSystem::FileFormat>(
                                               FormatBox->itemData(i).toInt()));
    const QString stem = known ? name.left(name.size() - info.suffix().size() - 1) : name;
    FileEdit->setText(stem + '.' + wanted);
}

void TOutputOptionsDialog::Browse() {
    const TRvSystem::FileFormat format = Format();
    const QString suffix = TRvSystem::SuffixOf(format);
    const QString name =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save as %1").arg(suffix.toUpper()),
                                     FileEdit->text(), FormatBox->currentText());
    if (!name.isEmpty())
        FileEdit->setText(TRvSystem::WithSuffix(name, format));
}

void TOutputOptionsDialog::Setup() {
    if (!printer_)
        return;
    QPageSetupDialog setup(printer_.get(), this);
    setup.exec();
}

void TOutputOptionsDialog::AcceptChoice() {
    if (FileButton->isChecked() && FileEdit->text().trimmed().isEmpty())
        return;
    accept();
}

TRvSystem::OutputChoice TOutputOptionsDialog::Choice() const {
    TRvSystem::OutputChoice choice;
    choice.Copies = CopiesBox->value();
    if (PrinterButton->isChecked() && printer_) {
        choice.Where = TRvSystem::Destination::Printer;
        printer_->setCopyCount(choice.Copies);
        printer_->setCollateCopies(CollateBox->isChecked());
        if (DuplexBox->count() > 0)
            printer_->setDuplex(
                static_cast<QPrinter::DuplexMode>(DuplexBox->currentData().toInt()));
        choice.Printer = printer_;
    } else if (FileButton->isChecked()) {
        choice.Where = TRvSystem::Destination::File;
        choice.Format = Format();
        choice.FileName = TRvSystem::WithSuffix(FileEdit->text().trimmed(), choice.Format);
    } else {
        choice.Where = TRvSystem::Destination::Preview;
    }
    return choice;
}

// ---- TReportStatus ----

TReportStatus::TReportStatus(const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
    setWindowTitle(title);
    setObjectName(QStringLiteral("ReportStatus"));
    label_ = new QLabel(this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setMinimumWidth(240);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(label_);
}

void TReportStatus::ShowStatus(const QString& text, int page) {
    QString shown = text;
    shown.replace(QStringLiteral("%p"), QString::number(page));
    label_->setText(shown);
    if (!isVisible())
        show();
    raise();
    // Paint now: the page is laid out or printed on this thread right after. Input waits, other
    // windows' timers go on.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString TReportStatus::Text() const {
    return label_->text();
}

// ---- TPageView ----

TPageView::TPageView(const TReportPage& page, QWidget* parent) : QWidget(parent), page_(page) {
    setMinimumSize(320, 240);
    setAutoFillBackground(false);
}

QRectF TPageView::PaperRect() const {
    constexpr double margin = 12.0;
    const QSizeF paper = page_.PaperInches();
    if (paper.isEmpty())
        return {};
    const double scale =
        std::min((width() - 2 * margin) / paper.width(), (height() - 2 * margin) / paper.height());
    const QSizeF size(paper.width() * scale, paper.height() * scale);
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void TPageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    const QRectF paper = PaperRect();
    if (paper.isEmpty())
        return;
    painter.fillRect(paper.translated(4, 4), QColor(64, 64, 64));
    painter.fillRect(paper, Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    painter.setClipRect(paper);
    painter.translate(paper.topLeft());
    const QSizeF inches = page_.PaperInches();
    page_.Play(painter, paper.width() / inches.width(), paper.height() / inches.height());
    painter.restore();
}

// ---- TReportPreview ----

TReportPreview::TReportPreview(const QString& title, const TReportPage& page, bool canPrint,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(title);
    setObjectName(QStringLiteral("ReportPreview"));
    setModal(true);
    PageView = new TPageView(page, this);
    PrintButton = MakeButton(QStringLiteral("&Print"), this);
    PrintButton->setShortcut(QKeySequence::Print);
    PrintButton->setEnabled(canPrint);
    if (!canPrint)
        PrintButton->setToolTip(QStringLiteral("No printer installed"));
    SaveButton = MakeButton(QStringLiteral("&Save"), this);
    SaveButton->setShortcut(QKeySequence::Save);
    SaveButton->setToolTip(QStringLiteral("Save the page as a PDF file"));
    CloseButton = MakeButton(QStringLiteral("&Close"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PrintButton);
    buttons->addWidget(SaveButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageView, 1);
    layout->addLayout(buttons);

    connect(PrintButton, &QPushButton::clicked, this, Guarded([this] {
                if (OnPrintPage)
                    OnPrintPage();
            }));
    connect(SaveButton, &QPushButton::clicked, this, Guarded([this] {
                if (OnSavePage)
                    OnSavePage();
            }));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(900, 700);
}
