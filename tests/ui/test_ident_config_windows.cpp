// The configuration and identification windows in the application's window set, reached from
// the main window as the user reaches them: against the simulated sensor (a configuration saved
// from one sensor and written to another, batch and serial number written and read back) and
// without a link (the password from the settings file, the buttons that open the windows).
#include "IdentConfigSupport.h"
#include "SensorSim.h"
#include "WindowSetFixture.h"
#include "app/Main.h"
#include "app/Windows.h"
#include "config/Saverec.h"
#include "ident/Pwd.h"
#include "ident/Sn.h"
#include "platform/AppPaths.h"
#include "platform/Regional.h"
#include "runtime/Translation.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

class WindowSet : public WindowSetTest {
protected:
    // The windows as the program creates them, shown as at start-up.
    void Start(bool searching) {
        CreateWindows();
        ASSERT_NE(SaveRecalForm, nullptr);
        ASSERT_NE(PwdForm, nullptr);
        ASSERT_NE(SNForm, nullptr);
        if (!searching)
            MainForm->TimerConnect.stop();
        MainForm->FormShow();
    }

    // A simulated sensor with these parameters, and the settings that make the search find it.
    void Plug(const SensorSimulator::Block& params) {
        PlugSensor();
        sensor->SetWorkingParams(params);
        sensor->SetEepromParams(params);
    }

    // On-line, with the sensor's parameters and identification on screen.
    bool Online() const {
        return MainForm->Tables.LinkActive == 1 && sensor->RequestCount(0x10) > 0 &&
               sensor->RequestCount(0x15) > 0 && MainForm->Tables.SetupReceived == 0 &&
               MainForm->Edit3.text() != "-----";
    }

    // What the link is doing, for a failed wait.
    std::string LinkState() const {
        const SimCounters c = sensor->Counters();
        return "LinkActive " + std::to_string(MainForm->Tables.LinkActive) + ", search step " +
               std::to_string(MainForm->Search.SearchStep) + ", 0x10 " +
               std::to_string(c.Requests[0x10]) + ", 0x15 " + std::to_string(c.Requests[0x15]) +
               ", 0x50 " + std::to_string(c.Requests[0x50]) + ", opens " +
               std::to_string(c.ClientOpens) + ", SetupReceived " +
               std::to_string(MainForm->Tables.SetupReceived) + ", Edit3 " +
               MainForm->Edit3.text().toStdString();
    }
};

// The words of a 0x20 or 0x25 request frame.
SensorSimulator::Block PayloadOf(const std::vector<uint8_t>& frame) {
    SensorSimulator::Block words{};
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<uint16_t>(frame[4 + 2 * i] | (frame[5 + 2 * i] << 8));
    return words;
}

TEST_F(WindowSet, AConfigurationSavedFromOneSensorIsWrittenToAnother) {
    SensorSimulator::Block first = SensorSimulator::DefaultParams();
    first[0] = static_cast<uint16_t>(-200); // entries 0 and 1 are signed
    first[1] = static_cast<uint16_t>(-32768);
    first[6] = 4321;
    first[13] = 65535;
    first[15] = 12;
    Plug(first);
    Start(true);
    ASSERT_TRUE(SpinUntil([&] { return Online(); }, 30000)) << LinkState();
    EXPECT_EQ(MainForm->Tables.SetupWords[0], -200);

    // "Salva configurazione", a name, "Salva".
    Click(MainForm->SpeedButton10);
    ASSERT_TRUE(SaveRecalForm->isVisible());
    EXPECT_EQ(SaveRecalForm->SpeedButton1.text(), "Salva");
    TypeText(SaveRecalForm->Edit1, "Sensore A");
    Click(SaveRecalForm->SpeedButton1);
    EXPECT_TRUE(SaveRecalForm->isHidden());
    ASSERT_TRUE(fs::exists(Folder() / "Sensore A.rcp"));

    // The program again, on another sensor.
    DestroyWindows();
    SensorSimulator::Block second = SensorSimulator::DefaultParams();
    second[6] = 900;
    Plug(second);
    Start(true);
    ASSERT_TRUE(SpinUntil([&] { return Online(); }, 30000)) << LinkState();
    EXPECT_EQ(MainForm->ParamBoxes[6]->text(), "900");

    // "Richiama configurazione", the name from the list, "Richiama".
    const uint64_t writes = sensor->RequestCount(0x20);
    Click(MainForm->SpeedButton11);
    ASSERT_TRUE(SaveRecalForm->isVisible());
    EXPECT_EQ(SaveRecalForm->SpeedButton1.text(), "Richiama");
    SaveRecalForm->ComboBox1.showPopup();
    const int item = SaveRecalForm->ComboBox1.findText("Sensore A");
    SaveRecalForm->ComboBox1.hidePopup();
    ASSERT_GE(item, 0);
    SaveRecalForm->ComboBox1.setCurrentIndex(item);
    Click(SaveRecalForm->SpeedButton1);
    EXPECT_TRUE(SaveRecalForm->isHidden());

    // The poller writes the recalled words; the boxes show them; they wait for a store.
    ASSERT_TRUE(SpinUntil([&] { return sensor->RequestCount(0x20) > writes; }, 10000));
    const auto frame = sensor->LastRequest(0x20);
    ASSERT_TRUE(frame.has_value());
    ASSERT_EQ(frame->size(), 38u);
    EXPECT_EQ((*frame)[3], 0x20);
    EXPECT_EQ(PayloadOf(*frame), first);
    EXPECT_EQ((*frame)[4], 0x38); // -200 low byte first
    EXPECT_EQ((*frame)[5], 0xFF);
    EXPECT_EQ((*frame)[6], 0x00); // -32768
    EXPECT_EQ((*frame)[7], 0x80);
    EXPECT_EQ(sensor->WorkingParams(), first);
    EXPECT_EQ(sensor->EepromParams(), second); // not stored until the user stores it
    ASSERT_TRUE(SpinUntil([&] { return MainForm->ParamBoxes[6]->text() == "4321"; }, 5000));
    EXPECT_EQ(MainForm->Tables.DataModified, 1);
    EXPECT_TRUE(MainForm->SpeedButton8.isEnabled());
}

TEST_F(WindowSet, BatchAndSerialNumberGoToTheSensorAndComeBack) {
    const ScopedRegionalOverride point('.');
    Plug(SensorSimulator::DefaultParams());
    SensorSimulator::Block info = SensorSimulator::DefaultInfo();
    for (size_t i = 4; i < 16; ++i)
        info[i] = static_cast<uint16_t>(0xA000 + i); // goes back unchanged
    sensor->SetInfo(info);
    Start(true);
    ASSERT_TRUE(SpinUntil([&] { return Online(); }, 30000)) << LinkState();
    EXPECT_EQ(MainForm->Edit2.text(), "23.456/07");

    // Double-click on the batch box, the password, OK.
    DoubleClick(MainForm->Edit2);
    ASSERT_TRUE(PwdForm->isVisible());
    TypeText(PwdForm->Edit1, "7053");
    Click(PwdForm->SpeedButton1);
    EXPECT_TRUE(PwdForm->isHidden());
    ASSERT_TRUE(SNForm->isVisible());
    EXPECT_EQ(SNForm->Edit1.text(), "23.456");
    EXPECT_EQ(SNForm->Edit2.text(), "7");
    EXPECT_EQ(SNForm->Edit3.text(), "1234");
    // While the window is open, a new identification reply does not overwrite the boxes.
    const uint64_t reads = sensor->RequestCount(0x15);
    MainForm->Search.ComThread()->RaiseRequest(ReqReadInfo);
    ASSERT_TRUE(SpinUntil([&] { return sensor->RequestCount(0x15) > reads; }, 10000));
    // The next poll goes out only once the reply has been taken in.
    const uint64_t polls = sensor->RequestCount(0x50);
    ASSERT_TRUE(SpinUntil([&] { return sensor->RequestCount(0x50) > polls; }, 10000))
        << LinkState();
    EXPECT_EQ(MainForm->Tables.InfoReceived, 0);

    // The confirmed numbers reach the sensor whatever the display tick does meanwhile (it asks
    // for a read of the identification after every OK, and the poller serves 0x15 before 0x25).
    // Twenty rounds with the display timer running, each through the password window again.
    ASSERT_TRUE(MainForm->TimerVisual.isActive());
    for (int round = 0; round < 20; ++round) {
        if (round > 0) {
            DoubleClick(MainForm->Edit2);
            ASSERT_TRUE(PwdForm->isVisible()) << round;
            TypeText(PwdForm->Edit1, "7053");
            Click(PwdForm->SpeedButton1);
            ASSERT_TRUE(SNForm->isVisible()) << round;
        }
        SensorSimulator::Block expected = info;
        if (round == 0) {
            // Beyond the limits: the batch fits in 32 bits, suffix and serial are clamped.
            SNForm->Edit1.setText("70.5");
            SNForm->Edit2.setText("250");
            SNForm->Edit3.setText("70000");
            expected[0] = 1;
            expected[1] = 4964;
            expected[2] = 99;
            expected[3] = 65535;
        } else {
            SNForm->Edit1.setText(QString::number(10 + round) + ".5");
            SNForm->Edit2.setText(QString::number(round));
            SNForm->Edit3.setText(QString::number(1000 + round));
            expected[0] = 0;
            expected[1] = static_cast<uint16_t>((10 + round) * 1000 + 500);
            expected[2] = static_cast<uint16_t>(round);
            expected[3] = static_cast<uint16_t>(1000 + round);
        }
        const uint64_t writes = sensor->RequestCount(0x25);
        Click(SNForm->SpeedButton1);
        EXPECT_TRUE(SNForm->isHidden());
        ASSERT_TRUE(SpinUntil([&] { return sensor->RequestCount(0x25) > writes; }, 10000)) << round;
        const auto frame = sensor->LastRequest(0x25);
        ASSERT_TRUE(frame.has_value());
        ASSERT_EQ(frame->size(), 38u);
        EXPECT_EQ(PayloadOf(*frame), expected) << "round " << round;
        EXPECT_EQ(sensor->Info(), expected) << "round " << round;

        // Then the identification is read again and shown.
        const QString serial = QString::number(expected[3]);
        ASSERT_TRUE(SpinUntil(
            [&] { return !MainForm->SerialConfirmed && MainForm->Edit3.text() == serial; }, 10000))
            << "round " << round << ": " << MainForm->Edit3.text().toStdString();
        if (round == 0) {
            EXPECT_EQ(MainForm->Edit2.text(), "70.500/99");
            EXPECT_FALSE(SNForm->Confirmed);
            EXPECT_EQ(SNForm->Edit1.text(), "70.500"); // refilled from the reply
        }
        EXPECT_EQ(MainForm->Tables.InfoWords[1], expected[1]) << "round " << round;
    }
}

// Damaged configuration files recalled while the link is up: each is refused with its message,
// the main window and the sensor keep their values, and no 0x20 goes out.
TEST_F(WindowSet, ADamagedConfigurationNeverReachesTheSensor) {
    Plug(SensorSimulator::DefaultParams());
    Start(true);
    ASSERT_TRUE(SpinUntil([&] { return Online(); }, 30000)) << LinkState();
    std::string whole = "[RCP]\r\nDate last save=01/02/2015 10:00:00\r\n\r\n[PAR]\r\n";
    for (int k = 0; k < 16; ++k)
        whole += "PAR" + std::string(k < 10 ? "0" : "") + std::to_string(k) + "=" +
                 std::to_string(SensorSimulator::DefaultParams()[k] + (k == 6 ? 1 : 0)) + "\r\n";
    const auto edited = [&](const std::string& line, const std::string& by) {
        std::string text = whole;
        const size_t at = text.find(line);
        text.replace(at, text.find("\r\n", at) - at, by);
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        const char* key;
    };
    const std::vector<Case> cases{
        {"cut", whole.substr(0, whole.find("PAR07=")), "PAR07"},
        {"letters", edited("PAR09=", "PAR09=abc"), "PAR09"},
        {"large", edited("PAR06=", "PAR06=70000"), "PAR06"},
    };
    const QString shown = MainForm->ParamBoxes[6]->text();
    const uint64_t writes = sensor->RequestCount(0x20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(Folder() / (std::string(c.name) + ".rcp"), c.text);
        ErrorReports reports;
        Click(MainForm->SpeedButton11);
        ASSERT_TRUE(SaveRecalForm->isVisible());
        SaveRecalForm->ComboBox1.showPopup();
        const int item = SaveRecalForm->ComboBox1.findText(c.name);
        SaveRecalForm->ComboBox1.hidePopup();
        ASSERT_GE(item, 0);
        SaveRecalForm->ComboBox1.setCurrentIndex(item);
        Click(SaveRecalForm->SpeedButton1);
        ASSERT_EQ(reports.messages.size(), 1u);
        EXPECT_TRUE(reports.messages[0].startsWith("File di configurazione danneggiato: "));
        EXPECT_TRUE(reports.messages[0].contains(QLatin1String(c.key)));
        EXPECT_TRUE(reports.messages[0].contains(QLatin1String(c.name) + ".rcp"));
        SaveRecalForm->hide();
        const uint64_t polls = sensor->RequestCount(0x50);
        ASSERT_TRUE(SpinUntil([&] { return sensor->RequestCount(0x50) >= polls + 2; }, 10000));
        EXPECT_EQ(MainForm->ParamBoxes[6]->text(), shown);
        EXPECT_EQ(MainForm->Tables.DataModified, 0);
    }
    EXPECT_EQ(sensor->RequestCount(0x20), writes);
    EXPECT_EQ(sensor->WorkingParams(), SensorSimulator::DefaultParams());
}

TEST_F(WindowSet, ThePasswordComesFromTheSettingsFile) {
    struct Case {
        const char* settings;
        QString typed;
        bool opens;
    };
    const Case cases[] = {
        {"", "7053", true},
        {"", " 7053", false},
        {"[Vextor]\r\nPwd=\r\n", "", true},
        {"[Vextor]\r\nPwd=\r\n", "7053", false},
        {"[Vextor]\r\nPwd=Segreto\r\n", "segreto", false},
        {"[Vextor]\r\nPwd=Segreto\r\n", "Segreto", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.settings) + " / " + c.typed.toStdString());
        WriteSettings(c.settings);
        Start(false);
        for (QLineEdit* box : {&MainForm->Edit2, &MainForm->Edit3}) {
            DoubleClick(*box);
            ASSERT_TRUE(PwdForm->isVisible());
            TypeText(PwdForm->Edit1, c.typed);
            Click(PwdForm->SpeedButton1);
            EXPECT_EQ(SNForm->isVisible(), c.opens);
            EXPECT_EQ(PwdForm->isVisible(), !c.opens);
            PwdForm->hide();
            SNForm->hide();
        }
        DestroyWindows();
    }
}

TEST_F(WindowSet, TheConfigurationButtonsOpenTheWindowInTheirMode) {
    Start(false);
    MainForm->move(30, 40);
    Click(MainForm->SpeedButton11);
    ASSERT_TRUE(SaveRecalForm->isVisible());
    EXPECT_EQ(SaveRecalForm->Mode, 1);
    EXPECT_EQ(SaveRecalForm->pos(), MainForm->pos() + QPoint(20, 20));
    EXPECT_FALSE(SaveRecalForm->ComboBox1.isHidden());

    // The other button while it is open: what it shows is what its button does.
    Click(MainForm->SpeedButton10);
    EXPECT_EQ(SaveRecalForm->Mode, 0);
    EXPECT_EQ(SaveRecalForm->SpeedButton1.text(), "Salva");
    EXPECT_FALSE(SaveRecalForm->Edit1.isHidden());
    EXPECT_TRUE(SaveRecalForm->ComboBox1.isHidden());

    // A save with no link: the file, and nothing else changes.
    MainForm->Tables.SetupWords[6] = 1234;
    TypeText(SaveRecalForm->Edit1, "offline");
    Click(SaveRecalForm->SpeedButton1);
    EXPECT_NE(ReadBytes(Folder() / "offline.rcp").find("\r\nPAR06=1234\r\n"), std::string::npos);
    EXPECT_EQ(MainForm->Tables.DataModified, 0);

    // A recall with no link: on screen at the next tick, marked unsaved, nothing sent.
    MainForm->Tables.SetupWords[6] = 0;
    Click(MainForm->SpeedButton11);
    SaveRecalForm->ComboBox1.showPopup();
    SaveRecalForm->ComboBox1.hidePopup();
    SaveRecalForm->ComboBox1.setCurrentIndex(SaveRecalForm->ComboBox1.findText("offline"));
    Click(SaveRecalForm->SpeedButton1);
    EXPECT_EQ(MainForm->Tables.SetupWords[6], 1234);
    MainForm->TimerVisualTimer();
    EXPECT_EQ(MainForm->ParamBoxes[6]->text(), "1234");
    EXPECT_TRUE(MainForm->SpeedButton8.isEnabled());
}

} // namespace
