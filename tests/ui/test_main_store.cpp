// Editing, storing and reading the parameters in the main window: the key filter, the
// validation of every box, the store with its verification against the simulated sensor's
// EEPROM, the read, the message strip, and "Chiudi".
#include "MainFormFixture.h"
#include "SensorSim.h"
#include "app/Application.h"
#include "platform/Exception.h"
#include "platform/Regional.h"
#include "runtime/Translation.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>

#include <string>
#include <vector>

namespace {

using Block = SensorSimulator::Block;

int KeyOf(char c) {
    if (c >= '0' && c <= '9')
        return Qt::Key_0 + (c - '0');
    if (c == ',')
        return Qt::Key_Comma;
    if (c == '.')
        return Qt::Key_Period;
    if (c == '-')
        return Qt::Key_Minus;
    return Qt::Key_unknown;
}

// The user empties the box and types the text.
void TypeInto(QLineEdit& box, const std::string& text) {
    box.clear();
    for (const char c : text)
        SendKey(box, KeyOf(c), QString(QLatin1Char(c)));
}

// ---- Without a sensor ----

class StoreOffline : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        form->FormShow();
    }
    // The sensor's image on screen as after a 0x10 reply, with the given output type and duct.
    void ShowImage(int outputType, bool square) {
        Block p = SensorSimulator::DefaultParams();
        p[4] = static_cast<uint16_t>(outputType);
        p[8] = square ? 300 : 0;
        for (size_t i = 0; i < p.size(); ++i)
            form->Tables.SetupWords[i] = p[i];
        form->Tables.SetupReceived = 1;
        form->TimerVisualTimer();
        for (auto& box : form->ParamBoxes)
            SetBoxColor(*box, VextorColors::White);
    }
    ErrorReports recorder;
};

struct ValidationCase {
    const char* what;
    int outputType;
    bool square;
    int slot;
    const char* text;
    char separator;
    bool red;
    int32_t word; // SetupWords[slot] afterwards
    const char* shown;
};

TEST_F(StoreOffline, EveryBoxIsValidatedAgainstItsLimitsAndMarkedOnlyWhereItIsShown) {
    TMainForm& f = *form;
    const int32_t zero = SensorSimulator::DefaultParams()[5];
    const int32_t diameter = SensorSimulator::DefaultParams()[7];
    const int32_t pressure = SensorSimulator::DefaultParams()[9];
    const int32_t roughness = SensorSimulator::DefaultParams()[11];
    for (const ValidationCase& c : {
             ValidationCase{"zero 45 with velocity", 0, false, 5, "45", '.', true, zero, "45"},
             ValidationCase{"zero 45 with mass flow", 1, false, 5, "45", '.', false, 45, "45"},
             ValidationCase{"full scale beyond 60000", 1, false, 6, "60001", '.', true, 1000,
                            "60001"},
             ValidationCase{"pressure with a comma", 1, false, 9, "2,5", ',', false, 2500, "2,500"},
             ValidationCase{"roughness truncated", 1, false, 11, "6000.05", '.', false, 60000,
                            "6000.0"},
             ValidationCase{"roughness one step over", 1, false, 11, "6000.1", '.', true, roughness,
                            "6000.1"},
             ValidationCase{"beyond 32 bits", 1, false, 9, "1e30", '.', true, pressure, "1e30"},
             ValidationCase{"beyond 32 bits, negative", 1, false, 12, "-1e30", '.', true, 1000,
                            "-1e30"},
             ValidationCase{"pressure below 0", 1, false, 9, "-0.001", '.', true, pressure,
                            "-0.001"},
             // Hidden boxes: an invalid value is left out quietly.
             ValidationCase{"never shown", 1, false, 0, "70000", '.', false, 0, "70000"},
             ValidationCase{"base of a circular duct", 1, false, 8, "70000", '.', false, 0,
                            "70000"},
             ValidationCase{"base of a square duct", 1, true, 8, "70000", '.', true, 300, "70000"},
             ValidationCase{"diameter, duct panel hidden", 0, false, 7, "70000", '.', false,
                            diameter, "70000"},
             ValidationCase{"roughness, duct panel hidden", 0, false, 11, "6000.1", '.', false,
                            roughness, "6000.1"},
         }) {
        SCOPED_TRACE(c.what);
        const ScopedRegionalOverride separator(c.separator);
        ShowImage(c.outputType, c.square);
        QLineEdit& box = *f.ParamBoxes[static_cast<size_t>(c.slot)];
        box.setText(QString::fromUtf8(c.text));
        f.Tables.DataModified = 1;
        f.SpeedButton8Click();
        EXPECT_EQ(BoxColor(box) == VextorColors::Red, c.red);
        EXPECT_EQ(f.Tables.SetupWords[static_cast<size_t>(c.slot)], c.word);
        EXPECT_EQ(box.text(), QString::fromUtf8(c.shown));
        // Without a link the valid slots are taken over, and nothing else happens.
        EXPECT_EQ(f.Tables.DataModified, 1);
        EXPECT_FALSE(f.TimerMem.isActive());
        EXPECT_TRUE(f.AdvSmoothProgressBar2.isHidden());
    }
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(StoreOffline, TheOutputTypeChoiceTurnsWhiteAtAStoreAttempt) {
    TMainForm& f = *form;
    ShowImage(1, false);
    SetBoxColor(f.ComboBox1, VextorColors::Yellow);
    f.SpeedButton8Click();
    EXPECT_EQ(BoxColor(f.ComboBox1), VextorColors::White);
}

struct ConversionCase {
    int slot;
    const char* text;
    char separator;
    const char* message;
};

TEST_F(StoreOffline, TextThatDoesNotConvertRaisesNamingTheText) {
    TMainForm& f = *form;
    for (const ConversionCase& c : {
             ConversionCase{5, "", '.', "'' is not a valid integer value"},
             ConversionCase{9, "", '.', "'' is not a valid floating point value"},
             ConversionCase{9, "2.5.1", '.', "'2.5.1' is not a valid floating point value"},
             ConversionCase{9, "2.5", ',', "'2.5' is not a valid floating point value"},
             ConversionCase{6, "99999999999", '.', "'99999999999' is not a valid integer value"},
         }) {
        SCOPED_TRACE(c.text);
        const ScopedRegionalOverride separator(c.separator);
        ShowImage(1, false);
        const auto i = static_cast<size_t>(c.slot);
        const int32_t before = f.Tables.SetupWords[i];
        f.ParamBoxes[i]->setText(QString::fromUtf8(c.text));
        const ParamSlotInfo& info = ParamSlots[i];
        try {
            f.ValidateParam(c.slot, info.Min, info.Code, info.Max);
            ADD_FAILURE() << "no conversion error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(f.Tables.SetupWords[i], before);
        EXPECT_EQ(f.ParamBoxes[i]->text(), QString::fromUtf8(c.text));
    }
}

TEST_F(StoreOffline, AConversionErrorOfAClickIsReportedAndEndsTheStoreAtThatSlot) {
    TMainForm& f = *form;
    const ScopedRegionalOverride point('.');
    ShowImage(1, false);
    f.ParamBoxes[5]->setText("45");     // before the bad slot: taken
    f.ParamBoxes[6]->setText("70000");  // before the bad slot: red
    f.ParamBoxes[9]->setText("2.5.1");  // does not convert
    f.ParamBoxes[12]->setText("0.3");   // after it: not looked at
    f.ParamBoxes[13]->setText("70000"); // after it: not marked
    SetBoxColor(f.ComboBox1, VextorColors::Yellow);
    f.Tables.DataModified = 1;
    f.TimerVisualTimer(); // enables "Memorizza dati"
    ASSERT_TRUE(f.SpeedButton8.isEnabled());
    Click(f.SpeedButton8);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], "'2.5.1' is not a valid floating point value");
    EXPECT_EQ(BoxColor(f.ComboBox1), VextorColors::White);
    EXPECT_EQ(f.Tables.SetupWords[5], 45);
    EXPECT_EQ(BoxColor(*f.ParamBoxes[6]), VextorColors::Red);
    EXPECT_EQ(f.Tables.SetupWords[12], 1000);
    EXPECT_EQ(f.ParamBoxes[12]->text(), "0.3");
    EXPECT_EQ(BoxColor(*f.ParamBoxes[13]), VextorColors::White);
    EXPECT_EQ(f.Tables.DataModified, 1);
    EXPECT_FALSE(f.TimerMem.isActive());
}

struct KeyCase {
    const char* what;
    int slot;
    int key;
    const char* text;
    bool discarded;
    bool modified; // DataModified afterwards
    bool yellow;
};

TEST_F(StoreOffline, TheKeyFilterMarksEveryTypedCharacterAndPrimesTheKeypad) {
    TMainForm& f = *form;
    const ScopedRegionalOverride comma(',');
    ShowImage(1, false);
    for (const KeyCase& c : {
             KeyCase{"Enter", 5, Qt::Key_Return, "\r", false, true, false},
             KeyCase{"keypad Enter", 5, Qt::Key_Enter, "\r", false, true, false},
             KeyCase{"Backspace", 6, Qt::Key_Backspace, "\b", false, true, true},
             KeyCase{"Backspace without text", 6, Qt::Key_Backspace, "", false, true, true},
             KeyCase{"Escape", 9, Qt::Key_Escape, "\x1b", true, true, false},
             KeyCase{"separator", 9, Qt::Key_Comma, ",", false, true, true},
             KeyCase{"point", 9, Qt::Key_Period, ".", true, true, false},
             KeyCase{"separator in a whole number", 5, Qt::Key_Comma, ",", true, true, false},
             KeyCase{"minus", 13, Qt::Key_Minus, "-", true, true, false},
             // No typed characters: Delete edits the box, Tab moves the focus.
             KeyCase{"Delete", 9, Qt::Key_Delete, "\x7f", false, false, false},
             KeyCase{"Tab", 9, Qt::Key_Tab, "\t", false, false, false},
             KeyCase{"arrow", 9, Qt::Key_Left, "", false, false, false},
         }) {
        SCOPED_TRACE(c.what);
        QLineEdit& box = *f.ParamBoxes[static_cast<size_t>(c.slot)];
        SetBoxColor(box, VextorColors::White);
        f.Tables.DataModified = 0;
        QKeyEvent event(QEvent::KeyPress, c.key, Qt::NoModifier, QString::fromLatin1(c.text));
        EXPECT_EQ(f.ParamBoxKeyPress(c.slot, event), c.discarded);
        EXPECT_EQ(f.Tables.DataModified, c.modified ? 1 : 0);
        EXPECT_EQ(BoxColor(box) == VextorColors::Yellow, c.yellow);
    }

    // The keypad gets the box's code and limits; the slots without a code take 'P' and the
    // widest range.
    std::vector<std::array<int32_t, 4>> primed;
    f.PrimeKeypad = [&](int slot, char code, int32_t min, int32_t max) {
        primed.push_back({slot, code, min, max});
    };
    for (const int slot : {3, 4, 5, 9, 10, 11, 12, 13, 15}) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
        f.ParamBoxKeyPress(slot, event);
    }
    EXPECT_EQ(primed, (std::vector<std::array<int32_t, 4>>{{3, 'P', -1000, 60000},
                                                           {4, 'P', -1000, 60000},
                                                           {5, 'P', 0, 60000},
                                                           {9, 'C', 0, 10000},
                                                           {10, 'D', 0, 60000},
                                                           {11, 'A', 0, 60000},
                                                           {12, 'D', 0, 5000},
                                                           {13, 'D', 0, 10000},
                                                           {15, 'P', -1000, 60000}}));
}

TEST_F(StoreOffline, WithoutALinkNeitherReadNorStoreStartsASequence) {
    TMainForm& f = *form;
    ShowImage(1, false);
    f.SpeedButton2Click();
    EXPECT_FALSE(f.TimerMem1.isActive());
    f.Tables.DataModified = 1;
    f.SpeedButton8Click();
    EXPECT_FALSE(f.TimerMem.isActive());
    EXPECT_EQ(f.Tables.DataModified, 1);
    EXPECT_EQ(f.StaticText1.text(), "Pronto");
}

TEST_F(StoreOffline, ChiudiAsksAfterASingleRejectedKey) {
    TMainForm& f = *form;
    SendKey(*f.ParamBoxes[5], Qt::Key_A, QStringLiteral("a"));
    EXPECT_EQ(f.ParamBoxes[5]->text(), "");
    f.SpeedButton7.click();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(terminations, 0); // the answer was No
}

// ---- Against the simulated sensor ----

class StoreLink : public MainFormWithSensorTest {
protected:
    // Both parameter copies of the sensor.
    void SetSensorParams(const Block& p) {
        sim->SetWorkingParams(p);
        sim->SetEepromParams(p);
    }

    // Shows the window, finds the sensor and waits until its parameters are on screen.
    testing::AssertionResult Connect() {
        form->FormShow();
        return WaitForSensorParameters(*form);
    }

    // Clicks "Memorizza dati" once the display tick has enabled it.
    bool ClickStore() {
        if (!SpinUntil([&] { return form->SpeedButton8.isEnabled(); }, 5000))
            return false;
        form->SpeedButton8.click();
        return true;
    }

    // The store sequence seen tick by tick: the progress bar after each tick and the tick at
    // which the verdict came.
    struct StoreWatch {
        explicit StoreWatch(TMainForm& f) {
            QObject::connect(&f.TimerMem, &QTimer::timeout, &context, [this, &f] {
                positions.push_back(f.AdvSmoothProgressBar2.Position());
                if (verdictTick == 0 && !f.TimerMem.isActive())
                    verdictTick = static_cast<int>(positions.size());
            });
            QObject::connect(&f.TimerMes, &QTimer::timeout, &context, [this] { ++mesTicks; });
        }
        QObject context;
        std::vector<int> positions;
        int verdictTick = 0;
        int mesTicks = 0;
    };

    bool WaitForVerdict() {
        return SpinUntil([&] { return !form->TimerMem.isActive(); }, 15000);
    }

    ErrorReports recorder;
};

TEST_F(StoreLink, AStoreReachesTheEepromAndIsVerified) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    ASSERT_TRUE(Connect());
    EXPECT_EQ(f.ComboBox1.currentIndex(), 1); // mass flow

    TypeInto(*f.ParamBoxes[5], "100");   // zero
    TypeInto(*f.ParamBoxes[6], "5000");  // full scale
    TypeInto(*f.ParamBoxes[9], "2.5");   // pressure
    TypeInto(*f.ParamBoxes[12], "0.25"); // profile gain
    TypeInto(*f.ParamBoxes[13], "0.1");  // profile offset
    EXPECT_EQ(BoxColor(*f.ParamBoxes[9]), VextorColors::Yellow);

    StoreWatch watch(f);
    ASSERT_TRUE(ClickStore());
    // Validated, shown in their formats, written and stored; the verification runs.
    EXPECT_EQ(f.ParamBoxes[9]->text(), "2.500");
    EXPECT_EQ(f.ParamBoxes[12]->text(), "0.2500");
    for (const auto& box : f.ParamBoxes)
        EXPECT_EQ(BoxColor(*box), VextorColors::White);
    EXPECT_EQ(f.Tables.DataModified, 0);
    EXPECT_FALSE(f.SpeedButton8.isEnabled());
    EXPECT_TRUE(f.TimerMem.isActive());
    EXPECT_FALSE(f.AdvSmoothProgressBar2.isHidden());
    EXPECT_EQ(f.AdvSmoothProgressBar2.Position(), 0);

    ASSERT_TRUE(WaitForVerdict());
    Block expected = SensorSimulator::DefaultParams();
    expected[5] = 100;
    expected[6] = 5000;
    expected[9] = 2500;
    expected[12] = 2500;
    expected[13] = 1000;
    EXPECT_EQ(sim->EepromParams(), expected);
    EXPECT_EQ(sim->WorkingParams(), expected);
    // The verdict at the fifth 500 ms tick: about 2.5 s after the click.
    EXPECT_EQ(f.TimerMem.interval(), 500);
    EXPECT_EQ(watch.verdictTick, 5);
    EXPECT_EQ(watch.positions, (std::vector<int>{1, 2, 3, 4, 4}));
    EXPECT_EQ(f.StaticText1.text(), "Scrittura OK");
    EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window), VextorColors::Lime);
    EXPECT_TRUE(f.AdvSmoothProgressBar2.isHidden());
    EXPECT_FALSE(f.SpeedButton8.isEnabled());

    // "Pronto" at the one tick of the 5 s message timer.
    EXPECT_EQ(f.TimerMes.interval(), 5000);
    EXPECT_TRUE(f.TimerMes.isActive());
    ASSERT_TRUE(SpinUntil([&] { return f.StaticText1.text() == "Pronto"; }, 15000));
    EXPECT_EQ(watch.mesTicks, 1);
    EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window), VextorColors::White);
    EXPECT_FALSE(f.TimerMes.isActive());

    // Nothing unsaved: "Chiudi" ends at once.
    f.SpeedButton7.click();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(StoreLink, AStoreThatDoesNotReachTheEepromIsAWritingMistake) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    ASSERT_TRUE(Connect());
    SimFaults lost;
    lost.StoreLost = true;
    sim->SetFaults(lost);
    TypeInto(*f.ParamBoxes[6], "5000");
    TypeInto(*f.ParamBoxes[9], "2.5");
    const uint64_t stores = sim->RequestCount(0x90);
    ASSERT_TRUE(ClickStore());
    ASSERT_TRUE(WaitForVerdict());
    EXPECT_GT(sim->RequestCount(0x90), stores);
    EXPECT_EQ(sim->EepromParams(), SensorSimulator::DefaultParams());
    EXPECT_EQ(sim->WorkingParams()[9], 2500);
    EXPECT_EQ(f.StaticText1.text(), "Errore di scrittura");
    EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window), VextorColors::Red);
}

TEST_F(StoreLink, AStoreWithoutAFreshReadBackIsAWritingMistake) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    ASSERT_TRUE(Connect());
    // A verified store first: the read-back image then equals the working image.
    TypeInto(*f.ParamBoxes[6], "5000");
    ASSERT_TRUE(ClickStore());
    ASSERT_TRUE(WaitForVerdict());
    ASSERT_EQ(f.StaticText1.text(), "Scrittura OK");
    for (size_t i = 0; i < 16; ++i)
        ASSERT_EQ(f.Tables.SetupWords[i], f.Tables.SetupWords[16 + i]) << i;

    // The same values once more, and the sensor falls silent: the old image must not pass.
    SendKey(*f.ParamBoxes[6], Qt::Key_A, QStringLiteral("a")); // nothing changes but the flag
    SimFaults silent;
    silent.Silent = true;
    sim->SetFaults(silent);
    ASSERT_TRUE(ClickStore());
    ASSERT_TRUE(WaitForVerdict());
    EXPECT_EQ(f.StaticText1.text(), "Errore di scrittura");
    EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window), VextorColors::Red);
    // The missing reply ends the link, as any missing reply does.
    EXPECT_TRUE(SpinUntil([&] { return f.Tables.LinkActive == 0; }, 10000));
}

// "Memorizza dati" right after "Leggi parametri": the 0x10 reply is still on its way when the
// user clicks. It must not replace the typed values: they are what the write carries and what
// reaches the EEPROM. The sensor keeps the read reply back until the click has been made, and
// then the read-back (0x11) reply either before the verdict or until after it: one verdict for
// each order.
struct ReadRaceCase {
    const char* what;
    bool readBackAfterVerdict;
    const char* verdict;
};

TEST_F(StoreLink, AReadReplyOnItsWayAtTheClickDoesNotReplaceTheTypedValues) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    ASSERT_TRUE(Connect());
    Block expected = SensorSimulator::DefaultParams();
    uint16_t full = 4000;
    for (const ReadRaceCase& c : {
             ReadRaceCase{"read-back before the verdict", false, "Scrittura OK"},
             ReadRaceCase{"read-back after the verdict", true, "Errore di scrittura"},
         }) {
        SCOPED_TRACE(c.what);
        full = static_cast<uint16_t>(full + 500);
        const std::string typed = std::to_string(full);
        SimFaults held;
        held.HoldReplies = true;
        held.OnlyCommands = {0x10, 0x11};
        sim->SetFaults(held);
        TypeInto(*f.ParamBoxes[6], typed);
        ASSERT_TRUE(SpinUntil([&] { return f.SpeedButton8.isEnabled(); }, 5000));
        f.SpeedButton2.click(); // "Leggi parametri"
        ASSERT_TRUE(SpinUntil([&] { return sim->Counters().RepliesHeld == 1; }, 10000));
        f.SpeedButton8.click(); // "Memorizza dati", the read reply not yet on the line
        ASSERT_TRUE(f.TimerMem.isActive());

        // The read reply reaches the window now, before the write goes out.
        SimFaults readBackHeld = held;
        readBackHeld.OnlyCommands = {0x11};
        sim->SetFaults(c.readBackAfterVerdict ? readBackHeld : SimFaults{});
        if (c.readBackAfterVerdict) {
            ASSERT_TRUE(SpinUntil([&] { return sim->Counters().RepliesHeld == 1; }, 10000));
        }
        ASSERT_TRUE(WaitForVerdict());
        expected[6] = full;
        EXPECT_EQ(f.StaticText1.text(), QString::fromUtf8(c.verdict));
        EXPECT_EQ(sim->EepromParams(), expected)
            << "typed values lost, EEPROM full scale " << sim->EepromParams()[6];
        EXPECT_EQ(f.ParamBoxes[6]->text(), QString::fromStdString(typed));
        if (c.readBackAfterVerdict) {
            // The late read-back agrees with the store, and the link is still up for it.
            sim->SetFaults({});
            EXPECT_TRUE(SpinUntil([&] { return f.Tables.SetupWords[16 + 6] == full; }, 10000));
        }
        EXPECT_EQ(f.Tables.LinkActive, 1);
        ASSERT_TRUE(SpinUntil([&] { return !f.TimerMem1.isActive(); }, 10000));
    }
}

// The verdict looks at all sixteen slots of the read-back, signed where the slot is signed, and
// is worded in the active language. For a difference in one slot alone the store is lost and
// the sensor's EEPROM holds the stored values but for that slot, so the read-back shows it.
struct VerdictCase {
    const char* what;
    int language;      // 1 Italian, 2 English
    int differingSlot; // -1: the read-back agrees
    const char* verdict;
    QColor colour;
};

TEST_F(StoreLink, TheVerdictComparesEverySlotAndSpeaksTheActiveLanguage) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    Block sensor = SensorSimulator::DefaultParams();
    sensor[0] = 0xFC18; // -1000 in the signed slot 0
    sensor[15] = 1200;
    SetSensorParams(sensor);
    ASSERT_TRUE(Connect());
    ASSERT_EQ(f.Tables.SetupWords[0], -1000);
    uint16_t full = 2000;
    for (const VerdictCase& c : {
             VerdictCase{"agreeing, a negative slot 0", 1, -1, "Scrittura OK", VextorColors::Lime},
             VerdictCase{"agreeing, in English", 2, -1, "Write OK", VextorColors::Lime},
             VerdictCase{"slot 0 alone differs", 1, 0, "Errore di scrittura", VextorColors::Red},
             VerdictCase{"slot 0 alone differs, in English", 2, 0, "Writing mistake",
                         VextorColors::Red},
             VerdictCase{"slot 15 alone differs", 1, 15, "Errore di scrittura", VextorColors::Red},
             VerdictCase{"slot 15 alone differs, in English", 2, 15, "Writing mistake",
                         VextorColors::Red},
         }) {
        SCOPED_TRACE(c.what);
        Translation().SetLanguage(c.language);
        full = static_cast<uint16_t>(full + 100);
        Block stored = sim->WorkingParams();
        stored[6] = full;
        SimFaults faults;
        if (c.differingSlot >= 0) {
            Block eeprom = stored;
            const auto slot = static_cast<size_t>(c.differingSlot);
            eeprom[slot] = static_cast<uint16_t>(eeprom[slot] + 1); // -999 in slot 0
            sim->SetEepromParams(eeprom);
            faults.StoreLost = true;
        }
        sim->SetFaults(faults);
        TypeInto(*f.ParamBoxes[6], std::to_string(full));
        ASSERT_TRUE(ClickStore());
        ASSERT_TRUE(WaitForVerdict());
        EXPECT_EQ(sim->WorkingParams(), stored);
        EXPECT_EQ(f.StaticText1.text(), QString::fromUtf8(c.verdict));
        EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window).name(), c.colour.name());
        if (c.differingSlot < 0) {
            EXPECT_EQ(sim->EepromParams(), stored);
            EXPECT_EQ(f.Tables.SetupWords[16], -1000);
        }
    }
    sim->SetFaults({});
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(StoreLink, InvalidValuesInHiddenBoxesDoNotBlockTheStore) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    Block velocity = SensorSimulator::DefaultParams();
    velocity[4] = 0; // flow velocity: the duct panel is hidden
    velocity[6] = 30;
    SetSensorParams(velocity);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(f.Panel6.isHidden());
    for (const int slot : {0, 7, 8})
        f.ParamBoxes[static_cast<size_t>(slot)]->setText("70000");
    f.ParamBoxes[11]->setText("6000.1");
    f.Tables.DataModified = 1;
    ASSERT_TRUE(ClickStore());
    EXPECT_TRUE(f.TimerMem.isActive());
    ASSERT_TRUE(WaitForVerdict());
    EXPECT_EQ(f.StaticText1.text(), "Scrittura OK");
    EXPECT_EQ(sim->EepromParams(), velocity); // the invalid slots kept their values

    // Mass flow and a circular duct: the duct panel is shown, the base box is not.
    f.ComboBox1.setCurrentIndex(1);
    f.ComboBox1Change();
    f.TimerVisualTimer();
    ASSERT_FALSE(f.Panel6.isHidden());
    ASSERT_TRUE(f.ParamBoxes[8]->isHidden());
    f.ParamBoxes[7]->setText("250");
    f.ParamBoxes[11]->setText("2.5");
    ASSERT_TRUE(ClickStore());
    EXPECT_TRUE(f.TimerMem.isActive());
    ASSERT_TRUE(WaitForVerdict());
    EXPECT_EQ(f.StaticText1.text(), "Scrittura OK");
    Block expected = velocity;
    expected[4] = 1;
    expected[7] = 250;
    expected[11] = 25;
    EXPECT_EQ(sim->EepromParams(), expected);
}

TEST_F(StoreLink, AnInvalidShownValueBlocksTheStoreButNotTheWrite) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    Block velocity = SensorSimulator::DefaultParams();
    velocity[4] = 0;
    velocity[6] = 30;
    SetSensorParams(velocity);
    ASSERT_TRUE(Connect());
    TypeInto(*f.ParamBoxes[5], "45"); // beyond 30 m/s
    TypeInto(*f.ParamBoxes[6], "20"); // valid
    const uint64_t writes = sim->RequestCount(0x20);
    const uint64_t stores = sim->RequestCount(0x90);
    ASSERT_TRUE(ClickStore());
    EXPECT_EQ(BoxColor(*f.ParamBoxes[5]), VextorColors::Red);
    EXPECT_EQ(BoxColor(*f.ParamBoxes[6]), VextorColors::Yellow);
    EXPECT_FALSE(f.TimerMem.isActive());
    EXPECT_EQ(f.Tables.DataModified, 1);
    // The working values take the valid slots; two polls later no store has followed.
    ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x20) > writes; }, 10000));
    const uint64_t polls = sim->RequestCount(0x50);
    ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x50) >= polls + 2; }, 10000));
    EXPECT_EQ(sim->RequestCount(0x90), stores);
    EXPECT_EQ(sim->WorkingParams()[5], 0);
    EXPECT_EQ(sim->WorkingParams()[6], 20);
    EXPECT_EQ(sim->EepromParams(), velocity);
    f.TimerVisualTimer();
    EXPECT_TRUE(f.SpeedButton8.isEnabled());
    EXPECT_EQ(f.StaticText1.text(), "Pronto");
}

TEST_F(StoreLink, AConversionErrorRaisesNoRequest) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    ASSERT_TRUE(Connect());
    TypeInto(*f.ParamBoxes[6], "5000");
    TypeInto(*f.ParamBoxes[9], "2.5.1");
    ASSERT_TRUE(SpinUntil([&] { return f.SpeedButton8.isEnabled(); }, 5000));
    const uint64_t writes = sim->RequestCount(0x20);
    Click(f.SpeedButton8);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], "'2.5.1' is not a valid floating point value");
    EXPECT_EQ(f.Tables.SetupWords[6], 5000); // before the bad slot
    // A raised write would go out before the next poll.
    const uint64_t polls = sim->RequestCount(0x50);
    ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x50) >= polls + 2; }, 10000));
    EXPECT_EQ(sim->RequestCount(0x20), writes);
    EXPECT_EQ(sim->WorkingParams()[6], SensorSimulator::DefaultParams()[6]);
}

TEST_F(StoreLink, ReadingClearsTheMarkingsWhetherOrNotTheSensorAnswers) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    ASSERT_TRUE(Connect());
    Block changed = SensorSimulator::DefaultParams();
    changed[9] = 2000;
    SetSensorParams(changed);
    SetBoxColor(*f.ParamBoxes[9], VextorColors::Yellow);
    SetBoxColor(*f.ParamBoxes[6], VextorColors::Red);
    f.Tables.DataModified = 1;

    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent sensor" : "answering sensor");
        SimFaults faults;
        faults.Silent = silent;
        sim->SetFaults(faults);
        const QString shown = f.ParamBoxes[9]->text();
        std::vector<int> positions;
        QObject context;
        QObject::connect(&f.TimerMem1, &QTimer::timeout, &context,
                         [&] { positions.push_back(f.AdvSmoothProgressBar2.Position()); });
        f.SpeedButton2.click();
        EXPECT_TRUE(f.TimerMem1.isActive());
        EXPECT_FALSE(f.AdvSmoothProgressBar2.isHidden());
        ASSERT_TRUE(SpinUntil([&] { return !f.TimerMem1.isActive(); }, 15000));
        EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 4}));
        EXPECT_EQ(f.StaticText1.text(), "Lettura OK ");
        EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window), VextorColors::Lime);
        EXPECT_TRUE(f.AdvSmoothProgressBar2.isHidden());
        EXPECT_TRUE(f.TimerMes.isActive());
        for (const auto& box : f.ParamBoxes)
            EXPECT_EQ(BoxColor(*box), VextorColors::White);
        EXPECT_EQ(f.Tables.DataModified, 0);
        EXPECT_FALSE(f.SpeedButton8.isEnabled());
        f.TimerVisualTimer();
        if (silent)
            EXPECT_EQ(f.ParamBoxes[9]->text(), shown); // the old values stay
        else
            EXPECT_EQ(f.ParamBoxes[9]->text(), "2.000");
        // Marked again for the silent round.
        SetBoxColor(*f.ParamBoxes[9], VextorColors::Yellow);
        f.Tables.DataModified = 1;
    }
}

TEST_F(StoreLink, ChiudiWithYesEndsTheApplicationCleanlyWithTheLinkUp) {
    // The window as the program makes it: its own exit question and end of the loop.
    form.reset();
    form = std::make_unique<TMainForm>();
    TMainForm& f = *form;
    f.show();
    ASSERT_TRUE(Connect());
    f.Tables.DataModified = 1;

    // Answer the question when it comes; a watchdog ends the loop if nothing else does.
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        if (QAbstractButton* yes = box->button(QMessageBox::Yes))
            yes->click();
    });
    answer.start(10);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(20000);
    QTimer::singleShot(0, &f, [&] { f.SpeedButton7.click(); });
    EXPECT_EQ(QApplication::exec(), 0); // the loop ended by "Chiudi", not by the watchdog
    answer.stop();
    watchdog.stop();
    EXPECT_EQ(caption, "Vextor Config");
    EXPECT_EQ(text, "Dati non salvati in EEPROM ! Vuoi uscire senza salvare ?");
    EXPECT_EQ(icon, QMessageBox::NoIcon);

    // The link was up to the end; shutting down stops the poller, then closes the port.
    ASSERT_EQ(f.Tables.LinkActive, 1);
    ASSERT_NE(f.Search.ComThread(), nullptr);
    const uint64_t closes = sim->Counters().ClientCloses;
    f.FormDestroy();
    EXPECT_EQ(f.Search.ComThread(), nullptr);
    EXPECT_FALSE(f.Comm1.Enabled());
    EXPECT_TRUE(sim->WaitFor([&](const SimCounters& c) { return c.ClientCloses > closes; },
                             std::chrono::milliseconds(5000)));
    form.reset();
    EXPECT_TRUE(recorder.messages.empty());
}

} // namespace
