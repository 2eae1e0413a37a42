#include "diag/Diagnose.h"

#include "link/Comthread.h"
#include "model/SensorTables.h"
#include "runtime/Translation.h"

#include <array>
#include <utility>

TDiagnoseForm::TDiagnoseForm(SensorTables& tables, PollerAccess currentPoller, QWidget* parent)
    : TForm("TDiagnoseForm", parent), tables_(tables), currentPoller_(std::move(currentPoller)) {
    setWindowTitle(QStringLiteral("DIagnostica seriale"));
    SetBorderIcons(biSystemMenu);
    SetClientSize(237, 290);
    move(0, 0);

    struct Row {
        QLabel& label;
        const char* labelName;
        const char* caption;
        int labelTop;
        QLineEdit& edit;
        const char* editName;
        int editTop;
    };
    const std::array<Row, 5> rows{{
        {Label1, "Label1", "Frame trasmessi", 29, Edit1, "Edit1", 48},
        {Label2, "Label2", "Frame ricevuti corretti SENSORE", 77, Edit2, "Edit2", 96},
        {Label3, "Label3", "XOR", 125, Edit3, "Edit3", 144},
        {Label4, "Label4", "Errori di timeout", 173, Edit4, "Edit4", 192},
        {Label5, "Label5", "Frame perduti ( fine dei tentativi )", 221, Edit5, "Edit5", 240},
    }};
    for (const Row& row : rows) {
        row.label.setObjectName(QLatin1String(row.labelName));
        row.label.setText(QString::fromUtf8(row.caption));
        row.label.move(56, row.labelTop);
        row.label.adjustSize();
        row.edit.setObjectName(QLatin1String(row.editName));
        row.edit.setText(QLatin1String(row.editName));
        row.edit.setGeometry(56, row.editTop, 121, 21);
    }

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    QObject::connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1.start();

    // Created after a language switch: take the active language's texts now.
    TTranslation::Global().ApplyTo(*this);
    Retranslate();
}

void TDiagnoseForm::Retranslate() {
    for (QLabel* label : {&Label1, &Label2, &Label3, &Label4, &Label5})
        label->adjustSize();
}

void TDiagnoseForm::Timer1Timer() {
    if (tables_.LinkActive != 1)
        return;
    const TComThread* poller = currentPoller_ ? currentPoller_() : nullptr;
    if (poller == nullptr)
        return;
    const TLinkCounters& counters = poller->LinkCounters;
    Edit1.setText(QString::number(counters.FramesSent.Get()));
    Edit2.setText(QString::number(counters.RepliesGood.Get()));
    Edit3.setText(QString::number(counters.ChecksumErrors.Get()));
    Edit4.setText(QString::number(counters.Timeouts.Get()));
    Edit5.setText(QString::number(counters.LinksLost.Get()));
}
