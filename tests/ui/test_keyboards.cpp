// The numeric keypad and the alphanumeric keyboard on their own (conversion, limits, formats,
// length count, caps lock, the physical keyboard) and in the application's window set: opened by
// a tap or a double-click on the boxes they serve, and a keypad value stored to the simulated
// sensor.
#include "MainFormFixture.h"
#include "SensorSim.h"
#include "WindowSetFixture.h"
#include "app/Main.h"
#include "app/Windows.h"
#include "config/Saverec.h"
#include "ident/Pwd.h"
#include "keyboards/Keyboard.h"
#include "keyboards/Keyboardalpha.h"
#include "platform/AppPaths.h"
#include "platform/Regional.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QPointingDevice>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace {

// ---- Numeric keypad ----

class Keypad : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        Translation().SetLanguage(1);
        target.setText(QStringLiteral("old"));
    }

    // Opens the keypad primed for the test's box and cell and types keys on it: digits, "-",
    // ":", the regional separator, and 'C' for "C".
    void OpenAndType(char code, int32_t min, int32_t max, const std::string& keys) {
        pad.SetTarget(target, cell, min, max, code);
        pad.Open();
        for (const char k : keys)
            Click(KeyFor(k));
    }
    QPushButton& KeyFor(char k) {
        switch (k) {
        case 'C':
            return pad.ButtonCANC;
        case '-':
            return pad.ButtonMinus;
        case ':':
            return pad.Button2P;
        default:
            if (k == DecimalSeparator())
                return pad.ButtonComma;
            return *pad.findChild<QPushButton*>(QStringLiteral("Button%1").arg(QLatin1Char(k)));
        }
    }

    TKeyBoardForm pad;
    QLineEdit target;
    Word cell{77};
    ErrorReports errors;
};

struct KeypadCase {
    const char* what;
    char separator;
    char code;
    int32_t min, max;
    const char* keys;
    int32_t stored; // the cell afterwards (77: untouched)
    const char* shown;
};

TEST_F(Keypad, OkConvertsClampsStoresAndShowsTheEntryInTheBoxFormat) {
    for (const KeypadCase& c : {
             KeypadCase{"three decimals", '.', 0x43, 0, 10000, "2.71828", 2718, "2.718"},
             KeypadCase{"comma separator", ',', 0x43, 0, 10000, "2,71828", 2718, "2,718"},
             KeypadCase{"above the maximum", '.', 0x43, 0, 10000, "12", 10000, "10.000"},
             KeypadCase{"0.29 is 29, not 28", '.', 0x42, 0, 60000, "0.29", 29, "0.29"},
             KeypadCase{"below the minimum", '.', 0x44, 0, 60000, "-5", 0, "0.0000"},
             KeypadCase{"one decimal", ',', 0x41, 0, 60000, "6000,05", 60000, "6000,0"},
             KeypadCase{"whole number below", '.', 0x50, -1000, 60000, "-2000", -1000, "-1000"},
             KeypadCase{"point in a whole number", '.', 0x50, -1000, 60000, "2.5", 0, "0"},
             KeypadCase{"... with a minimum above 0", '.', 0x50, 10, 60000, "2.5", 10, "10"},
             KeypadCase{"colon in a whole number", '.', 0x50, -1000, 60000, "1:5", 0, "0"},
             KeypadCase{"empty whole number", '.', 0x50, -1000, 60000, "", 0, "0"},
             KeypadCase{"whole number beyond 32 bits", '.', 0x50, -1000, 60000, "99999999999",
                        60000, "60000"},
             // A decimal entry whose scaled value does not fit in 32 bits clamps by its sign.
             KeypadCase{"decimal just beyond 32 bits", '.', 0x43, 0, 10000, "2147484", 10000,
                        "10.000"},
             KeypadCase{"decimal just beyond 32 bits, negative", '.', 0x43, -1000, 60000,
                        "-2147484", -1000, "-1.000"},
             KeypadCase{"decimal far beyond 32 bits", ',', 0x44, 0, 60000, "99999999999,5", 60000,
                        "6,0000"},
             KeypadCase{"decimal far beyond 32 bits, negative", '.', 0x41, -1000, 60000,
                        "-99999999999", -1000, "-100.0"},
             KeypadCase{"C removes the last", '.', 0x50, -1000, 60000, "12C", 1, "1"},
             KeypadCase{"C on an empty entry", '.', 0x50, -1000, 60000, "C3", 3, "3"},
             KeypadCase{"minimum above maximum", '.', 0x50, 100, 50, "7", 50, "50"},
             KeypadCase{"decimals 5: nothing stored", '.', 0x45, 0, 60000, "5", 77, "old"},
             KeypadCase{"decimals 15: nothing stored", '.', 0x4F, 0, 60000, "5", 77, "old"},
         }) {
        SCOPED_TRACE(c.what);
        const ScopedRegionalOverride separator(c.separator);
        cell = 77;
        target.setText(QStringLiteral("old"));
        OpenAndType(c.code, c.min, c.max, c.keys);
        Click(pad.ButtonOk);
        EXPECT_EQ(cell.Get(), c.stored);
        EXPECT_EQ(target.text(), QString::fromLatin1(c.shown));
        EXPECT_TRUE(pad.isHidden());
    }
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(Keypad, ADecimalEntryThatDoesNotConvertIsReportedAndStaysOpenForCorrection) {
    for (const auto& [separator, keys] :
         {std::pair{'.', ""}, std::pair{'.', "-"}, std::pair{'.', "1..5"}, std::pair{',', "1,5,"},
          std::pair{'.', "1:5"}}) {
        SCOPED_TRACE(keys);
        const ScopedRegionalOverride regional(separator);
        errors.messages.clear();
        OpenAndType(0x43, 0, 10000, keys);
        Click(pad.ButtonOk);
        ASSERT_EQ(errors.messages.size(), 1u);
        EXPECT_TRUE(errors.messages[0].contains(QStringLiteral("'%1'").arg(keys)))
            << errors.messages[0].toStdString();
        EXPECT_EQ(cell.Get(), 77);
        EXPECT_EQ(target.text(), "old");
        EXPECT_TRUE(pad.isVisible());
        EXPECT_EQ(pad.StaticTextIns.text(), QString::fromLatin1(keys));
        Click(pad.ButtonABORT);
    }
    // Corrected with "C", the same entry goes through.
    const ScopedRegionalOverride point('.');
    OpenAndType(0x43, 0, 10000, "1:5");
    Click(pad.ButtonOk);
    Click(pad.ButtonCANC);
    Click(pad.ButtonCANC);
    Click(pad.ButtonOk);
    EXPECT_EQ(cell.Get(), 1000);
    EXPECT_EQ(target.text(), "1.000");
}

TEST_F(Keypad, AbandonChangesNothingAndTheNextShowingStartsEmptyWithTheSamePriming) {
    const ScopedRegionalOverride point('.');
    OpenAndType(0x41, 0, 100, "55");
    Click(pad.ButtonABORT);
    EXPECT_TRUE(pad.isHidden());
    EXPECT_EQ(cell.Get(), 77);
    EXPECT_EQ(target.text(), "old");
    pad.Open();
    EXPECT_EQ(pad.StaticTextIns.text(), "");
    EXPECT_EQ(pad.pos(), QPoint(600, 10)); // where the pad is designed to show
    Click(pad.Button7);
    Click(pad.ButtonOk);
    EXPECT_EQ(cell.Get(), 70);
    EXPECT_EQ(target.text(), "7.0");
}

TEST_F(Keypad, ThePhysicalKeyboardTypesTheSameKeys) {
    const ScopedRegionalOverride comma(',');
    pad.SetTarget(target, cell, 0, 60000, 0x44);
    pad.Open();
    EXPECT_EQ(pad.ButtonComma.text(), ","); // the key types the regional separator
    for (const char c : std::string("1,2x.59"))
        SendKey(pad, Qt::Key_unknown, QString(QLatin1Char(c))); // x and '.' type nothing
    SendKey(pad, Qt::Key_Backspace);
    EXPECT_EQ(pad.StaticTextIns.text(), "1,25");
    SendKey(pad, Qt::Key_Return);
    EXPECT_EQ(cell.Get(), 12500);
    EXPECT_EQ(target.text(), "1,2500");
    EXPECT_TRUE(pad.isHidden());

    pad.Open();
    SendKey(pad, Qt::Key_3, QStringLiteral("3"));
    SendKey(pad, Qt::Key_Escape);
    EXPECT_TRUE(pad.isHidden());
    EXPECT_EQ(cell.Get(), 12500);
}

// ---- Alphanumeric keyboard ----

class AlphaKeyboard : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        Translation().SetLanguage(1);
        target.setText(QStringLiteral("old"));
    }
    // Keys: a character types with the key that shows it now, '^' is "Caps Lock", '<' "Canc".
    void Type(const std::string& keys) {
        for (const char k : keys)
            Click(KeyFor(k));
    }
    QPushButton& KeyFor(char k) {
        if (k == '^')
            return board.SpeedButton28;
        if (k == '<')
            return board.ButtonCANC;
        if (k == ' ')
            return board.SpeedButton27;
        if (k == '_')
            return board.SpeedButtonUS;
        if (k == '-')
            return board.SpeedButtonMinus;
        if (k >= '0' && k <= '9')
            return *board.Button[static_cast<size_t>(k - '0')];
        for (auto& key : board.SpeedButton)
            if (key->text() == QString(QLatin1Char(k)))
                return *key;
        ADD_FAILURE() << "no key shows " << k;
        return board.ButtonCANC;
    }

    TKeyBoardAlphaForm board;
    QLineEdit target;
};

struct AlphaCase {
    const char* what;
    int32_t maxLength;
    const char* keys;
    const char* entry;
    int32_t typed;
};

TEST_F(AlphaKeyboard, KeysTypeUpToTheMaximumLengthInTheCaseOfTheirMoment) {
    for (const AlphaCase& c : {
             AlphaCase{"nine letters, eight kept", 8, "abcdefghi", "abcdefgh", 8},
             AlphaCase{"Canc allows one more", 8, "abcdefghi<zy", "abcdefgz", 8},
             AlphaCase{"maximum 0 types nothing", 0, "ab1_<", "", 0},
             AlphaCase{"case kept", 20, "ab^CD^e^F", "abCDeF", 6},
             AlphaCase{"every letter, digit and sign", 60,
                       "qwertyuiopasdfghjklzxcvbnm 0123456789_-",
                       "qwertyuiopasdfghjklzxcvbnm 0123456789_-", 39},
             AlphaCase{"Canc on an empty entry", 3, "<<ab", "ab", 2},
         }) {
        SCOPED_TRACE(c.what);
        board.SetTarget(target, c.maxLength, false);
        board.Open();
        Type(c.keys);
        EXPECT_EQ(board.StaticTextIns.text(), QString::fromLatin1(c.entry));
        EXPECT_EQ(board.TypedCount(), c.typed);
        Click(board.ButtonOk);
        EXPECT_EQ(target.text(), QString::fromLatin1(c.entry));
        EXPECT_TRUE(board.isHidden());
    }
}

TEST_F(AlphaKeyboard, CapsLockRelabelsTheLettersAndLightsItsIndicator) {
    board.SetTarget(target, 8, false);
    board.Open();
    const auto captions = [&] {
        std::string s;
        for (const auto& key : board.SpeedButton)
            s += key->text().toStdString();
        return s;
    };
    EXPECT_EQ(captions(), "abcdefghilmnopqrstuvzwyjkx");
    EXPECT_EQ(board.Shape1.palette().color(QPalette::Window), QColor(192, 192, 192));
    Click(board.SpeedButton28);
    EXPECT_EQ(captions(), "ABCDEFGHILMNOPQRSTUVZWYJKX");
    EXPECT_EQ(board.Shape1.palette().color(QPalette::Window), QColor(0, 255, 0));
    Click(board.SpeedButton28);
    EXPECT_EQ(captions(), "abcdefghilmnopqrstuvzwyjkx");
    EXPECT_EQ(board.Shape1.palette().color(QPalette::Window), QColor(192, 192, 192));

    // A new showing: empty, lower case, nothing typed; "Abbandona" leaves the box alone.
    Type("^AB");
    Click(board.ButtonABORT);
    EXPECT_EQ(target.text(), "old");
    board.Open();
    EXPECT_EQ(board.StaticTextIns.text(), "");
    EXPECT_EQ(board.TypedCount(), 0);
    EXPECT_FALSE(board.CapsOn());
    EXPECT_EQ(captions(), "abcdefghilmnopqrstuvzwyjkx");
}

TEST_F(AlphaKeyboard, ASecretEntryShowsStarsAndTheBoxGetsTheText) {
    board.SetTarget(target, 16, true);
    board.Open();
    Type("a1^B");
    EXPECT_EQ(board.StaticTextIns.text(), "***");
    Click(board.ButtonOk);
    EXPECT_EQ(target.text(), "a1B");
}

TEST_F(AlphaKeyboard, ThePhysicalKeyboardTypesLettersDigitsAndSigns) {
    board.SetTarget(target, 6, false);
    board.Open();
    for (const char c : std::string("Ab.1 _-x")) // '.' types nothing; 'x' is the seventh
        SendKey(board, Qt::Key_unknown, QString(QLatin1Char(c)));
    EXPECT_EQ(board.StaticTextIns.text(), "Ab1 _-");
    SendKey(board, Qt::Key_Backspace);
    SendKey(board, Qt::Key_Enter);
    EXPECT_EQ(target.text(), "Ab1 _");
    board.Open();
    SendKey(board, Qt::Key_Q, QStringLiteral("q"));
    SendKey(board, Qt::Key_Escape);
    EXPECT_TRUE(board.isHidden());
    EXPECT_EQ(target.text(), "Ab1 _");
}

TEST(KeyboardTexts, CaptionsFollowTheLanguage) {
    UiApp();
    Translation().SetLanguage(1);
    TKeyBoardForm pad;
    TKeyBoardAlphaForm board;
    EXPECT_EQ(pad.windowTitle(), "Tastiera");
    EXPECT_EQ(board.windowTitle(), "Tastiera alfanumerica");
    Translation().SetLanguage(2);
    EXPECT_EQ(pad.windowTitle(), "Keyboard");
    EXPECT_EQ(pad.ButtonABORT.text(), "Quit");
    EXPECT_EQ(board.windowTitle(), "Alphanumeric keyboard");
    EXPECT_EQ(board.ButtonABORT.text(), "Quit");
    EXPECT_EQ(board.ButtonOk.text(), "OK");
    TKeyBoardForm later; // created after the switch
    EXPECT_EQ(later.ButtonABORT.text(), "Quit");
    Translation().SetLanguage(1);
    EXPECT_EQ(pad.ButtonABORT.text(), "Abbandona");
}

// ---- In the application's windows ----

class KeyboardWindows : public WindowSetTest {
protected:
    void Start() {
        CreateWindows();
        ASSERT_NE(KeyBoardForm, nullptr);
        ASSERT_NE(KeyBoardAlphaForm, nullptr);
        if (!sensor)
            MainForm->TimerConnect.stop(); // nothing to search for: no port is probed
        MainForm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm));
    }
    QLineEdit& Box(int slot) const { return *MainForm->ParamBoxes[static_cast<size_t>(slot)]; }

    // A one-finger touch on the widget's centre (inside the offscreen screen, 800 x 600: a touch
    // beyond it reaches no window), moved by `drift` before it is lifted.
    static void Touch(QWidget& widget, QPoint drift = {}) {
        static QPointingDevice* screen =
            QTest::createTouchDevice(QInputDevice::DeviceType::TouchScreen);
        const QPoint centre = widget.rect().center();
        QTest::touchEvent(&widget, screen).press(0, centre, &widget);
        if (!drift.isNull())
            QTest::touchEvent(&widget, screen).move(0, centre + drift, &widget);
        QTest::touchEvent(&widget, screen).release(0, centre + drift, &widget);
    }

    ErrorReports errors;
};

TEST_F(KeyboardWindows, ATapOrDoubleClickOnAParameterBoxOpensTheKeypadPrimedForIt) {
    const ScopedRegionalOverride point('.');
    Start();
    MainForm->ComboBox1.setCurrentIndex(1); // mass flow
    MainForm->Tables.DataModified = 0;
    // A single click only places the cursor; a swipe is no tap.
    Click(Box(9));
    Touch(Box(9), QPoint(40, 0));
    EXPECT_TRUE(KeyBoardForm->isHidden());

    // Opened without a key pressed first: primed for box 9 (three decimals, 0..10000).
    DoubleClick(Box(9));
    ASSERT_TRUE(KeyBoardForm->isVisible());
    for (const char* key : {"Button2", "ButtonComma", "Button5"})
        Click(*KeyBoardForm->findChild<QPushButton*>(QString::fromLatin1(key)));
    Click(KeyBoardForm->ButtonOk);
    EXPECT_EQ(Box(9).text(), "2.500");
    EXPECT_EQ(MainForm->Tables.SetupWords[9], 2500);
    EXPECT_EQ(MainForm->Tables.DataModified, 1);
    EXPECT_EQ(BoxColor(Box(9)), VextorColors::Yellow);
    EXPECT_TRUE(MainForm->SpeedButton8.isEnabled());

    // "Abbandona" changes nothing.
    MainForm->Tables.DataModified = 0;
    MainForm->SpeedButton8.setEnabled(false);
    SetBoxColor(Box(10), VextorColors::White);
    const QString before = Box(10).text();
    DoubleClick(Box(10));
    Click(KeyBoardForm->Button1);
    Click(KeyBoardForm->ButtonABORT);
    EXPECT_EQ(Box(10).text(), before);
    EXPECT_EQ(MainForm->Tables.DataModified, 0);
    EXPECT_EQ(BoxColor(Box(10)), VextorColors::White);
    EXPECT_FALSE(MainForm->SpeedButton8.isEnabled());

    // Zero and full scale take 0..30 while the output is a velocity, taken when it opens.
    for (const auto& [outputType, stored] : {std::pair{0, 30}, std::pair{1, 45}}) {
        MainForm->ComboBox1.setCurrentIndex(outputType);
        for (const int slot : {5, 6}) {
            Touch(Box(slot));
            ASSERT_TRUE(KeyBoardForm->isVisible());
            Click(KeyBoardForm->Button4);
            Click(KeyBoardForm->Button5);
            Click(KeyBoardForm->ButtonOk);
            EXPECT_EQ(MainForm->Tables.SetupWords[static_cast<size_t>(slot)], stored);
            EXPECT_EQ(Box(slot).text(), QString::number(stored));
        }
    }
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(KeyboardWindows, TheNameAndPasswordBoxesOpenTheAlphanumericKeyboard) {
    Start();
    SaveRecalForm->Mode = 0;
    SaveRecalForm->show();
    DoubleClick(SaveRecalForm->Edit1);
    ASSERT_TRUE(KeyBoardAlphaForm->isVisible());
    EXPECT_EQ(KeyBoardAlphaForm->MaxLength(), TSaveRecalForm::ListNameLength);
    for (const char* key : {"SpeedButton1", "SpeedButton27", "Button1"})
        Click(*KeyBoardAlphaForm->findChild<QPushButton*>(QString::fromLatin1(key)));
    EXPECT_EQ(KeyBoardAlphaForm->StaticTextIns.text(), "a 1");
    Click(KeyBoardAlphaForm->ButtonOk);
    EXPECT_EQ(SaveRecalForm->Edit1.text(), "a 1");
    SaveRecalForm->hide();

    PwdForm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(PwdForm));
    Touch(PwdForm->Edit1);
    ASSERT_TRUE(KeyBoardAlphaForm->isVisible());
    EXPECT_EQ(KeyBoardAlphaForm->MaxLength(), TPwdForm::PasswordLength);
    for (const char* key : {"Button7", "Button0", "Button5", "Button3"})
        Click(*KeyBoardAlphaForm->findChild<QPushButton*>(QString::fromLatin1(key)));
    EXPECT_EQ(KeyBoardAlphaForm->StaticTextIns.text(), "****");
    Click(KeyBoardAlphaForm->ButtonOk);
    EXPECT_EQ(PwdForm->Edit1.text(), "7053");
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(KeyboardWindows, AValueTappedInOnTheKeypadIsStoredInTheSensor) {
    const ScopedRegionalOverride point('.');
    PlugSensor();
    Start();
    TMainForm& f = *MainForm;
    ASSERT_TRUE(WaitForSensorParameters(f));

    Touch(Box(10)); // correction factor, four decimals, 0..60000
    ASSERT_TRUE(KeyBoardForm->isVisible());
    for (const char* key : {"Button0", "ButtonComma", "Button3", "Button7"})
        Click(*KeyBoardForm->findChild<QPushButton*>(QString::fromLatin1(key)));
    Click(KeyBoardForm->ButtonOk);
    EXPECT_EQ(Box(10).text(), "0.3700");
    EXPECT_EQ(BoxColor(Box(10)), VextorColors::Yellow);
    ASSERT_TRUE(SpinUntil([&] { return f.SpeedButton8.isEnabled(); }, 5000));

    Click(f.SpeedButton8);
    ASSERT_TRUE(SpinUntil([&] { return !f.TimerMem.isActive(); }, 15000));
    EXPECT_EQ(f.StaticText1.text(), "Scrittura OK");
    EXPECT_EQ(sensor->EepromParams()[10], 3700);
    EXPECT_EQ(f.Tables.DataModified, 0);
    EXPECT_TRUE(errors.messages.empty());
}

} // namespace
