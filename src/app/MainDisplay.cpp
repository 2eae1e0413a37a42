// The main window's display tick, the two choice boxes and the key filters.
#include "app/Main.h"

#include "link/Comthread.h"
#include "model/Format.h"
#include "platform/Regional.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QEvent>
#include <QKeyEvent>

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void SetText(QLineEdit& box, const QString& text) {
    if (box.text() != text)
        box.setText(text);
}

} // namespace

void TMainForm::TimerVisualTimer() {
    // 1. Link strip.
    const bool linked = Tables.LinkActive == 1;
    const bool searching = !linked && Search.SearchStep != 0;
    SetCaption(Label1, QLatin1String(Search.LinkStateText()));
    if (linked) {
        ShapeBOARD.SetBrushColor(VextorColors::Lime);
        SetCaption(Label3, Q(Comm1.DeviceName()));
    } else if (searching) {
        ShapeBOARD.SetBrushColor(VextorColors::Aqua);
        SetCaption(Label3, Q(Comm1.DeviceName()));
    } else {
        ShapeBOARD.SetBrushColor(VextorColors::ButtonFace());
        SetCaption(Label3, QStringLiteral("----"));
    }
    SpeedButton9.setVisible(!linked && !searching);
    ProgressBarCOM.setVisible(searching);
    // Why a port that exists could not be used (no permission, in use).
    if (const QString note = Q(Search.PortNote()); Label3.toolTip() != note)
        Label3.setToolTip(note);

    // 2. Clock.
    PanelOra.setText(DateTimeToStr(QDateTime::currentDateTime()));

    // 3. Measurements.
    for (int slot = 0; slot < StatusSlotCount; ++slot) {
        const auto i = static_cast<size_t>(slot);
        QLineEdit& box = *StatusBoxes[i];
        if (linked) {
            SetBoxColor(box, slot == 15 ? VextorColors::Yellow : VextorColors::Lime);
            SetText(box, Q(FormatScaled(Tables.StatusWords[i], StatusSlots[i].Decimals)));
        } else {
            SetBoxColor(box, VextorColors::ButtonFace());
            SetText(box, QStringLiteral("----"));
        }
    }

    // 4. Parameters, when a new image has arrived (or must be shown again).
    if (Tables.SetupReceived == 1) {
        for (int slot = 0; slot < ParamSlotCount; ++slot) {
            const auto i = static_cast<size_t>(slot);
            SetText(*ParamBoxes[i],
                    Q(FormatScaled(Tables.SetupWords[i], ParamSlots[i].Decimals())));
        }
        const int32_t output = Tables.SetupWords[OutputSlot];
        ComboBox1.setCurrentIndex(output >= 0 && output < ComboBox1.count() ? output : -1);
        ShowUnit(ComboBox1.currentIndex());
        ComboBox2.setCurrentIndex(Tables.SetupWords[DuctBaseSlot] != 0 ? 1 : 0);
        Tables.SetupReceived = 0;
    }

    // 5. Output type: velocity or flow layout.
    const int outputType = ComboBox1.currentIndex();
    ShowOutputLayout(outputType);
    Panel6.setVisible(DuctPanelShown(outputType));
    SetCaption(*StatusLabels[13], Text(StatusKey(13, outputType)));

    // 6. Duct shape.
    ShowDuctLayout(ComboBox2.currentIndex() == 1);

    // 7. "Memorizza dati" only while there is something to store.
    SpeedButton8.setEnabled(Tables.DataModified == 1);

    // 8. The batch and serial number window confirmed a write: read the identification again,
    // but only once the write has gone out. The poller serves 0x15 before 0x25, so a read raised
    // earlier would be answered before the sensor has the new numbers.
    if (SerialConfirmed) {
        const TComThread* poller = Search.ComThread();
        if (!(poller && poller->InfoWriteOutstanding())) {
            RaiseIfLinked(ReqReadInfo);
            SerialConfirmed = false;
        }
    }

    // 9. Identification.
    if (Tables.InfoReceived == 1) {
        SetText(Edit2,
                Q(FormatBatch(Tables.InfoWords[0], Tables.InfoWords[1], Tables.InfoWords[2])));
        SetText(Edit3, QString::number(Tables.InfoWords[3].Get()));
        if (FillFromInfo)
            FillFromInfo();
        Tables.InfoReceived = 0;
    }
}

void TMainForm::ShowUnit(int outputType) {
    const QString unit = Text(UnitOf(outputType).Key);
    for (QLabel* label : {&LabelUnit, &Label4, &Label5})
        SetCaption(*label, unit);
}

void TMainForm::ShowOutputLayout(int outputType) {
    const bool velocity = outputType == OutputVelocity;
    StatusLabels[0]->setVisible(velocity);
    StatusBoxes[0]->setVisible(velocity);
    StatusLabels[1]->setVisible(!velocity);
    StatusBoxes[1]->setVisible(!velocity);
}

void TMainForm::ShowDuctLayout(bool square) {
    SetCaption(*ParamLabels[7], Text(ParamKey(7, square)));
    ParamLabels[7]->show();
    ParamBoxes[7]->show();
    for (QWidget* w :
         {static_cast<QWidget*>(ParamLabels[8].get()), static_cast<QWidget*>(ParamBoxes[8].get()),
          static_cast<QWidget*>(StatusLabels[7].get()), static_cast<QWidget*>(StatusBoxes[7].get()),
          static_cast<QWidget*>(StatusLabels[12].get()),
          static_cast<QWidget*>(StatusBoxes[12].get())})
        w->setVisible(square);
}

void TMainForm::ComboBox1Change() {
    const int item = ComboBox1.currentIndex();
    Tables.DataModified = 1;
    SetBoxColor(ComboBox1, VextorColors::Yellow); // changed, not yet stored
    Tables.SetupWords[OutputSlot] = item;
    // The whole parameter image goes to the sensor at once.
    RaiseIfLinked(ReqWriteSetup);
    ShowUnit(item);
    ShowOutputLayout(item);
}

void TMainForm::ComboBox2Change() {
    Tables.DataModified = 1;
    if (ComboBox2.currentIndex() == 0) {
        // Circular: no base. The boxes show it at the next tick and the sensor gets it now.
        Tables.SetupWords[DuctBaseSlot] = 0;
        Tables.SetupReceived = 1;
        RaiseIfLinked(ReqWriteSetup);
    }
    // Square: the base is typed into box 8 and goes out with the next store.
}

bool TMainForm::ComboBox1KeyPress(QKeyEvent& event) {
    // Characters never select: only the arrow keys, the list and the mouse do.
    const QString text = event.text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    event.accept();
    return true;
}

bool TMainForm::ParamBoxKeyPress(int slot, QKeyEvent& event) {
    // The character the key types. Backspace and Enter count whatever text the platform gives
    // them; keys that type nothing (arrows, modifiers), Delete, which edits the box, and Tab,
    // which moves the focus, are no typed characters and pass untouched.
    QChar key;
    const QString text = event.text();
    if (event.key() == Qt::Key_Backspace)
        key = QLatin1Char('\b');
    else if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        key = QLatin1Char('\r');
    else if (text.isEmpty() || event.key() == Qt::Key_Delete || event.key() == Qt::Key_Tab ||
             event.key() == Qt::Key_Backtab)
        return false;
    else
        key = text.at(0);
    // 1. Any key counts as an edit: "Chiudi" asks before leaving.
    Tables.DataModified = 1;
    // 2. The numeric keypad follows the box the user types into.
    PrimeKeypadFor(slot);
    // 3. Enter passes to the box unchanged.
    if (key == QLatin1Char('\r'))
        return false;
    // 4. Digits and backspace; slots 9 to 13 also take the decimal separator.
    const bool decimals = slot >= 9 && slot <= 13;
    const bool accepted = key == QLatin1Char('\b') ||
                          (key >= QLatin1Char('0') && key <= QLatin1Char('9')) ||
                          (decimals && key == QLatin1Char(DecimalSeparator()));
    if (!accepted) {
        event.accept();
        return true;
    }
    SetBoxColor(*ParamBoxes[static_cast<size_t>(slot)], VextorColors::Yellow);
    return false;
}

void TMainForm::PrimeKeypadFor(int slot) {
    // The limits of slots 5 and 6 follow the output type chosen at this moment.
    const SlotLimits limits = ParamLimits(slot, ComboBox1.currentIndex());
    if (PrimeKeypad)
        PrimeKeypad(slot, KeypadCode(slot), limits.Min, limits.Max);
}

void TMainForm::ParamBoxDblClick(int slot) {
    PrimeKeypadFor(slot);
    if (OpenKeypad)
        OpenKeypad();
}

void TMainForm::KeypadAccepted(int slot) {
    // As if the value had been typed: "Chiudi" asks, the box is yellow, "Memorizza dati" stores.
    Tables.DataModified = 1;
    SetBoxColor(*ParamBoxes[static_cast<size_t>(slot)], VextorColors::Yellow);
    SpeedButton8.setEnabled(true);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // A wheel turned over a choice box without the focus is the user scrolling past it: it
    // must not pick an output type or duct shape, which would be written to the sensor at once.
    if (event->type() == QEvent::Wheel && (watched == &ComboBox1 || watched == &ComboBox2) &&
        !static_cast<QWidget*>(watched)->hasFocus()) {
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return TForm::eventFilter(watched, event);
    auto& key = static_cast<QKeyEvent&>(*event);
    if (watched == &ComboBox1 || watched == &ComboBox2 || watched == ComboBox1.view() ||
        watched == ComboBox2.view())
        return ComboBox1KeyPress(key);
    for (int slot = 0; slot < ParamSlotCount; ++slot)
        if (watched == ParamBoxes[static_cast<size_t>(slot)].get())
            return ParamBoxKeyPress(slot, key);
    return TForm::eventFilter(watched, event);
}
