// The main window's write path: validating the parameter boxes, writing them to the sensor,
// storing them in its EEPROM and verifying the store by reading the EEPROM copy back; reading a
// fresh copy; the message strip that reports the outcome.
#include "app/Main.h"

#include "link/Comthread.h"
#include "model/Format.h"
#include "platform/Convert.h"
#include "runtime/ErrorGuard.h"

#include <exception>
#include <optional>
#include <string>

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void TMainForm::ConnectStoreAndRead() {
    // A box that does not convert ends the store with its conversion error on screen.
    connect(&SpeedButton8, &QPushButton::clicked, this, Guarded([this] { SpeedButton8Click(); }));
    connect(&SpeedButton2, &QPushButton::clicked, this, Guarded([this] { SpeedButton2Click(); }));
    connect(&TimerMem, &QTimer::timeout, this, Guarded([this] { TimerMemTimer(); }));
    connect(&TimerMem1, &QTimer::timeout, this, Guarded([this] { TimerMem1Timer(); }));
    connect(&TimerMes, &QTimer::timeout, this, Guarded([this] { TimerMesTimer(); }));
}

bool TMainForm::ValidateParam(int slot, int32_t minimum, char code, int32_t maximum) {
    QLineEdit& box = *ParamBoxes[static_cast<size_t>(slot)];
    const int decimals = DecimalsOfCode(code);
    const std::string text = box.text().toStdString();
    std::optional<int32_t> value;
    if (decimals == 0) {
        value = StrToInt(text); // raises EConvertError "'<text>' is not a valid integer value"
    } else {
        // Raises EConvertError "'<text>' is not a valid floating point value". A product that
        // does not fit in 32 bits (a pasted "1e30") is no value the sensor can take: refused
        // like any other value out of range, never narrowed.
        value = ScaleAndTruncate(StrToFloat(text), decimals);
    }
    if (!value || *value < minimum || *value > maximum)
        return false;
    Tables.SetupWords[static_cast<size_t>(slot)] = *value;
    box.setText(Q(FormatScaled(*value, decimals)));
    return true;
}

bool TMainForm::MarksInvalid(int slot) const {
    // A box's own visibility setting counts, not whether its panel is on screen; the duct
    // panel's own setting counts for the boxes on it.
    if (ParamBoxes[static_cast<size_t>(slot)]->isHidden())
        return false;
    return ParamSlots[static_cast<size_t>(slot)].Where != SlotPanel::Panel6 || !Panel6.isHidden();
}

void TMainForm::PaintParamBoxes(const QColor& colour) {
    for (auto& box : ParamBoxes)
        SetBoxColor(*box, colour);
}

void TMainForm::SpeedButton8Click() {
    // 1. The output type choice agrees with the sensor again.
    SetBoxColor(ComboBox1, VextorColors::White);
    // 2. Every slot is looked at, so every valid one is taken over. A box that does not convert
    // raises here: the slots before it are handled, no request goes out.
    bool allowed = true;
    const int outputType = ComboBox1.currentIndex();
    for (int slot = 0; slot < ParamSlotCount; ++slot) {
        const ParamSlotInfo& info = ParamSlots[static_cast<size_t>(slot)];
        if (!info.Validated)
            continue; // firmware version and output type
        const SlotLimits limits = ParamLimits(slot, outputType);
        if (!ValidateParam(slot, limits.Min, info.Code, limits.Max) && MarksInvalid(slot)) {
            SetBoxColor(*ParamBoxes[static_cast<size_t>(slot)], VextorColors::Red);
            allowed = false;
        }
    }
    const bool linked = Tables.LinkActive == 1 && Search.ComThread() != nullptr;
    // 3. The working values take the valid slots even when a slot failed.
    RaiseIfLinked(ReqWriteSetup);
    // 4. Only a set without invalid visible values is stored and verified.
    if (!allowed || !linked)
        return;
    PaintParamBoxes(VextorColors::White);
    for (int i = 0; i < SensorTables::ParamCount; ++i)
        StoreSnapshot[static_cast<size_t>(i)] = Tables.SetupWords[static_cast<size_t>(i)];
    // The verdict must come from a read-back of this store. No sensor word widens to
    // ReadBackPending, so a slot that still holds it at the verdict tells that no 0x11 reply
    // arrived since this click, and an older read-back image can never pass for this one.
    for (int i = 0; i < SensorTables::ParamCount; ++i)
        Tables.SetupWords[static_cast<size_t>(SensorTables::ParamCount + i)] = ReadBackPending;
    RaiseIfLinked(ReqStoreEeprom);
    StoreStep = 0;
    AdvSmoothProgressBar2.SetPosition(0);
    EndNotice();
    AdvSmoothProgressBar2.show();
    TimerMem.start();
    Tables.DataModified = 0;
    SpeedButton8.setEnabled(false);
}

bool TMainForm::StoreVerified() const {
    for (int i = 0; i < SensorTables::ParamCount; ++i) {
        const int32_t readBack =
            Tables.SetupWords[static_cast<size_t>(SensorTables::ParamCount + i)];
        if (readBack == ReadBackPending)
            return false; // no read-back since the click
        if (StoreSnapshot[static_cast<size_t>(i)] != readBack)
            return false; // not what was validated at the click
    }
    return true;
}

void TMainForm::TimerMemTimer() {
    if (StoreStep == 0) {
        // The 0x20 write and the 0x90 store go out first: the poller serves them before 0x11.
        RaiseIfLinked(ReqReadBack);
        StoreStep = 1;
    } else if (StoreStep >= 1 && StoreStep <= 3) {
        ++StoreStep;
    } else if (StoreStep == 4) {
        if (StoreVerified())
            ShowMessage("Mes04", VextorColors::Lime);
        else
            ShowMessage("Mes05", VextorColors::Red);
        TimerMes.start();
        SpeedButton8.setEnabled(false);
        TimerMem.stop();
        AdvSmoothProgressBar2.hide();
    }
    if (StoreStep > 0)
        AdvSmoothProgressBar2.SetPosition(StoreStep);
}

void TMainForm::SpeedButton2Click() {
    if (Tables.LinkActive != 1 || Search.ComThread() == nullptr)
        return;
    RaiseIfLinked(ReqReadSetup | ReqReadInfo);
    ReadStep = 0;
    AdvSmoothProgressBar2.SetPosition(0);
    EndNotice();
    AdvSmoothProgressBar2.show();
    TimerMem1.start();
}

void TMainForm::TimerMem1Timer() {
    if (ReadStep >= 0 && ReadStep <= 3) {
        ++ReadStep;
    } else if (ReadStep == 4) {
        // Ends after the same time whether or not the replies came: the boxes then keep the
        // old values.
        ReadStep = 0;
        TimerMem1.stop();
        AdvSmoothProgressBar2.hide();
        ShowMessage("Mes06", VextorColors::Lime);
        TimerMes.start();
        PaintParamBoxes(VextorColors::White);
        Tables.DataModified = 0;
        SpeedButton8.setEnabled(false);
    }
    if (ReadStep > 0)
        AdvSmoothProgressBar2.SetPosition(ReadStep);
}

void TMainForm::TimerMesTimer() {
    ShowMessage("Mes03", VextorColors::White);
    TimerMes.stop();
}
