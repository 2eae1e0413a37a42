#include "ident/Sn.h"

#include "link/Comthread.h"
#include "model/Format.h"
#include "model/SensorTables.h"
#include "platform/Convert.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"

#include <QShowEvent>
#include <QStyle>

#include <algorithm>
#include <string>
#include <utility>

namespace {

// A suffix or serial number text: a whole number limited to 0..max; anything else is 0.
int32_t WholeNumberIn(const QString& text, int32_t max) {
    return std::clamp(TryStrToInt(text.toStdString()).value_or(0), 0, max);
}

} // namespace

TSNForm::TSNForm(SensorTables& tables, PollerAccess currentPoller, bool& confirmed, QWidget* parent)
    : TForm("TSNForm", parent), Confirmed(confirmed), tables_(tables),
      currentPoller_(std::move(currentPoller)) {
    Confirmed = false;
    setWindowTitle(QStringLiteral("SNForm"));
    SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
    resize(436, 240); // sizeable
    move(0, 0);

    const QFont boxFont = DesignFont(21);
    struct Row {
        QLabel& label;
        const char* labelName;
        const char* caption;
        QPoint labelAt;
        QLineEdit& edit;
        const char* editName;
        QRect editPlace;
    };
    const Row rows[] = {
        {Label1, "Label1", "Batch", {72, 45}, Edit1, "Edit1", {72, 64, 121, 33}},
        {Label2, "Label2", "/", {199, 67}, Edit2, "Edit2", {209, 64, 121, 33}},
        {Label3, "Label3", "SN", {72, 101}, Edit3, "Edit3", {72, 120, 121, 33}},
    };
    for (const Row& row : rows) {
        row.label.setObjectName(QLatin1String(row.labelName));
        row.label.setText(QLatin1String(row.caption));
        row.label.move(row.labelAt);
        row.label.adjustSize();
        row.edit.setObjectName(QLatin1String(row.editName));
        row.edit.setFont(boxFont);
        row.edit.setGeometry(row.editPlace);
    }

    SpeedButton1.setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1.setText(QStringLiteral("OK"));
    SpeedButton1.setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    SpeedButton1.setGeometry(72, 175, 121, 41);
    SpeedButton2.setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2.setText(QStringLiteral("Abbandona"));
    SpeedButton2.setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    SpeedButton2.setGeometry(224, 175, 121, 41);
    for (QPushButton* button : {&SpeedButton1, &SpeedButton2}) {
        button->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
        button->setAutoDefault(false);
        button->setIconSize(QSize(24, 24));
    }
    // A batch number that does not convert is reported by the guard.
    connect(&SpeedButton1, &QPushButton::clicked, this, Guarded([this] { SpeedButton1Click(); }));
    connect(&SpeedButton2, &QPushButton::clicked, this, Guarded([this] { SpeedButton2Click(); }));
}

void TSNForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSNForm::FormShow() {
    FillFromInfo();
}

void TSNForm::FillFromInfo() {
    const auto& info = tables_.InfoWords;
    Edit1.setText(QString::fromStdString(FormatBatchNumber(info[0], info[1])));
    Edit2.setText(QString::number(info[2].Get()));
    Edit3.setText(QString::number(info[3].Get()));
}

void TSNForm::SpeedButton1Click() {
    // 1, 2. Converted before anything is stored: a batch text that does not convert raises here.
    const long double number = StrToFloat(Edit1.text().toStdString());
    // Beyond 32 bits (a typed 1e30) is beyond the limits too: it is limited like any other value.
    const std::optional<int32_t> scaled = ScaleAndTruncate(number, 3);
    const int32_t batch =
        scaled ? std::clamp(*scaled, int32_t{0}, BatchMax) : (number < 0 ? 0 : BatchMax);
    const int32_t suffix = WholeNumberIn(Edit2.text(), SuffixMax);
    const int32_t serial = WholeNumberIn(Edit3.text(), SerialMax);

    // 3..5.
    auto& info = tables_.InfoWords;
    info[0] = (batch >> 16) & 0xFFFF;
    info[1] = batch & 0xFFFF;
    info[2] = suffix;
    info[3] = serial;
    // 6. The poller builds the 0x25 frame from all sixteen entries when it sends it.
    if (tables_.LinkActive == 1)
        if (TComThread* poller = currentPoller_ ? currentPoller_() : nullptr)
            poller->RaiseRequest(ReqWriteInfo);
    // 7. The main window re-reads the identification at its next tick.
    Confirmed = true;
    hide();
}

void TSNForm::SpeedButton2Click() {
    Confirmed = false;
    hide();
}
