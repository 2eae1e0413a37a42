// The password gate and the batch and serial number window on their own: the exact password
// comparison, the boxes filled from InfoWords, the limits on OK, conversion errors that store
// nothing, and the 0x25 request.
#include "IdentConfigSupport.h"
#include "ident/Pwd.h"
#include "ident/Sn.h"
#include "link/Comthread.h"
#include "model/SensorTables.h"
#include "platform/Regional.h"
#include "runtime/Translation.h"
#include "support/FakePort.h"

#include <QCloseEvent>

#include <array>
#include <memory>
#include <string>

namespace {

// ---- Password gate ----

TEST(PasswordGate, LooksAndOpensEmpty) {
    UiApp();
    TPwdForm gate([] { return std::string("7053"); }, [] {});
    EXPECT_EQ(gate.objectName(), "PwdForm");
    EXPECT_EQ(gate.windowTitle(), "Password numeri seriali");
    EXPECT_EQ(gate.size(), QSize(264, 107));
    EXPECT_FALSE(gate.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(gate.Edit1.geometry(), QRect(64, 8, 121, 41));
    EXPECT_EQ(gate.SpeedButton1.geometry(), QRect(8, 55, 121, 41));
    EXPECT_EQ(gate.SpeedButton2.geometry(), QRect(135, 55, 121, 41));
    EXPECT_EQ(gate.SpeedButton1.text(), "OK");
    EXPECT_EQ(gate.SpeedButton2.text(), "Abbandona");
    gate.Edit1.setText("7053");
    EXPECT_EQ(gate.Edit1.displayText(), "****");
    gate.show();
    EXPECT_EQ(gate.pos(), QPoint(0, 0));
    EXPECT_EQ(gate.Edit1.text(), ""); // emptied at every showing
    // Not translated.
    Translation().SetLanguage(2);
    EXPECT_EQ(gate.windowTitle(), "Password numeri seriali");
    EXPECT_EQ(gate.SpeedButton2.text(), "Abbandona");
    Translation().SetLanguage(1);
}

TEST(PasswordGate, OnlyTheExactPasswordOpensTheSerialNumberWindow) {
    UiApp();
    struct Case {
        std::string expected;
        QString typed;
        bool opens;
    };
    const Case cases[] = {
        {"7053", "7053", true},       {"7053", " 7053", false}, {"7053", "7053 ", false},
        {"7053", "705", false},       {"7053", "", false},      {"Segreto", "segreto", false},
        {"Segreto", "Segreto", true}, {"", "", true},           {"", " ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected + " / " + c.typed.toStdString());
        int opened = 0;
        TPwdForm gate([&] { return c.expected; }, [&] { ++opened; });
        gate.show();
        TypeText(gate.Edit1, c.typed);
        Click(gate.SpeedButton1);
        EXPECT_EQ(opened, c.opens ? 1 : 0);
        EXPECT_EQ(gate.isVisible(), !c.opens);
        if (!c.opens) {
            EXPECT_EQ(gate.Edit1.text(), ""); // emptied for the next try
        }
    }
}

// The buttons have no default or cancel role: with the right password typed, neither Enter (as
// OK would, or a returnPressed wired to it) nor Escape (as a dialog's reject would) acts.
TEST(PasswordGate, EnterAndEscapeInTheEntryDoNothing) {
    UiApp();
    int opened = 0;
    TPwdForm gate([] { return std::string("7053"); }, [&] { ++opened; });
    gate.show();
    TypeText(gate.Edit1, "7053");
    SendKey(gate.Edit1, Qt::Key_Return, QStringLiteral("\r"));
    SendKey(gate.Edit1, Qt::Key_Enter, QStringLiteral("\r"));
    SendKey(gate.Edit1, Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(gate.isVisible());
    EXPECT_EQ(gate.Edit1.text(), "7053");
}

TEST(PasswordGate, AbbandonaCloses) {
    UiApp();
    int opened = 0;
    TPwdForm gate([] { return std::string("7053"); }, [&] { ++opened; });
    gate.show();
    TypeText(gate.Edit1, "7053");
    Click(gate.SpeedButton2);
    EXPECT_TRUE(gate.isHidden());
    EXPECT_EQ(opened, 0);
}

// ---- Batch and serial number window ----

class SerialWindow : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        poller = std::make_unique<TComThread>(tables, port, nullptr, /*start=*/false);
        form = std::make_unique<TSNForm>(
            tables, [this]() -> TComThread* { return poller.get(); }, confirmed);
        for (size_t i = 0; i < 16; ++i)
            tables.InfoWords[i] = 100 + static_cast<int32_t>(i);
    }
    std::array<int32_t, 16> Info() const {
        std::array<int32_t, 16> words{};
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = tables.InfoWords[i];
        return words;
    }
    void Enter(const QString& batch, const QString& suffix, const QString& serial) {
        form->show();
        form->Edit1.setText(batch);
        form->Edit2.setText(suffix);
        form->Edit3.setText(serial);
    }

    SensorTables tables;
    FakePort port;
    std::unique_ptr<TComThread> poller;
    bool confirmed = true; // the window clears it at creation
    std::unique_ptr<TSNForm> form;
};

TEST_F(SerialWindow, LooksAndShowsTheIdentification) {
    EXPECT_EQ(form->objectName(), "SNForm");
    EXPECT_EQ(form->windowTitle(), "SNForm");
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(form->size(), QSize(436, 240));
    EXPECT_EQ(form->Edit1.geometry(), QRect(72, 64, 121, 33));
    EXPECT_EQ(form->Edit2.geometry(), QRect(209, 64, 121, 33));
    EXPECT_EQ(form->Edit3.geometry(), QRect(72, 120, 121, 33));
    EXPECT_EQ(form->SpeedButton1.geometry(), QRect(72, 175, 121, 41));
    EXPECT_EQ(form->SpeedButton2.geometry(), QRect(224, 175, 121, 41));
    EXPECT_EQ(form->Label1.text(), "Batch");
    EXPECT_EQ(form->Label2.text(), "/");
    EXPECT_EQ(form->Label3.text(), "SN");
    EXPECT_EQ(form->Label1.pos(), QPoint(72, 45));

    tables.InfoWords[0] = 0;
    tables.InfoWords[1] = 27813;
    tables.InfoWords[2] = 7;
    tables.InfoWords[3] = 500;
    {
        const ScopedRegionalOverride point('.');
        form->show();
        EXPECT_EQ(form->pos(), QPoint(0, 0));
        EXPECT_EQ(form->Edit1.text(), "27.813");
        EXPECT_EQ(form->Edit2.text(), "7");
        EXPECT_EQ(form->Edit3.text(), "500");
    }
    const ScopedRegionalOverride comma(',');
    form->FillFromInfo();
    EXPECT_EQ(form->Edit1.text(), "27,813");
    // A batch number above 16 bits.
    tables.InfoWords[0] = 1;
    tables.InfoWords[1] = 4964;
    form->FillFromInfo();
    EXPECT_EQ(form->Edit1.text(), "70,500");
}

TEST_F(SerialWindow, OkLimitsTheNumbersStoresThemAndAsksForTheWrite) {
    struct Case {
        QString batch, suffix, serial;
        char separator;
        std::array<int32_t, 4> words;
    };
    const Case cases[] = {
        {"70.5", "7", "500", '.', {1, 4964, 7, 500}},
        {"123", "7", "500", '.', {1, 34463, 7, 500}}, // 99.999
        {"-2", "7", "500", '.', {0, 0, 7, 500}},
        {"27.813", "250", "70000", '.', {0, 27813, 99, 65535}},
        {"27.813", "-3", "abc", '.', {0, 27813, 0, 0}},
        {"27.813", "", "12.5", '.', {0, 27813, 0, 0}},
        {"1e30", "99", "65535", '.', {1, 34463, 99, 65535}}, // beyond 32 bits: the limit
        {"-1e30", "0", "0", '.', {0, 0, 0, 0}},
        {" 2,5 ", "1", "2", ',', {0, 2500, 1, 2}},
        {"99.9999", "1", "2", '.', {1, 34463, 1, 2}}, // 99999.9 truncated
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.batch.toStdString());
        const ScopedRegionalOverride regional(c.separator);
        for (size_t i = 0; i < 16; ++i)
            tables.InfoWords[i] = 100 + static_cast<int32_t>(i);
        poller->RequestFlags = 0;
        confirmed = false;
        tables.LinkActive = 1;
        Enter(c.batch, c.suffix, c.serial);
        Click(form->SpeedButton1);
        std::array<int32_t, 16> expected{};
        for (size_t i = 0; i < 16; ++i)
            expected[i] = i < 4 ? c.words[i] : 100 + static_cast<int32_t>(i);
        EXPECT_EQ(Info(), expected);
        EXPECT_EQ(poller->RequestFlags.load(), uint32_t{ReqWriteInfo});
        EXPECT_TRUE(confirmed);
        EXPECT_TRUE(form->isHidden());
    }
}

TEST_F(SerialWindow, WithTheLinkDownOkStoresAndSendsNothing) {
    Enter("70.5", "1", "2");
    Click(form->SpeedButton1);
    EXPECT_EQ(tables.InfoWords[1], 4964);
    EXPECT_EQ(poller->RequestFlags.load(), 0u);
    EXPECT_TRUE(confirmed);
}

TEST_F(SerialWindow, ABatchTextThatDoesNotConvertIsReportedAndStoresNothing) {
    struct Case {
        QString batch;
        char separator;
    };
    const Case cases[] = {{"abc", '.'}, {"", '.'}, {"1.2.3", '.'}, {"2.5", ','}, {"2,5", '.'}};
    tables.LinkActive = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.batch.toStdString());
        const ScopedRegionalOverride regional(c.separator);
        const std::array<int32_t, 16> before = Info();
        ErrorReports reports;
        Enter(c.batch, "250", "70000");
        Click(form->SpeedButton1);
        ASSERT_EQ(reports.messages.size(), 1u);
        EXPECT_EQ(reports.messages[0], "'" + c.batch + "' is not a valid floating point value");
        EXPECT_EQ(Info(), before);
        EXPECT_EQ(poller->RequestFlags.load(), 0u);
        EXPECT_FALSE(confirmed);
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(SerialWindow, AbbandonaClearsConfirmedAndTheCloseBoxLeavesIt) {
    const std::array<int32_t, 16> before = Info();
    confirmed = true;
    Enter("1", "2", "3");
    Click(form->SpeedButton2);
    EXPECT_FALSE(confirmed);
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(Info(), before);

    confirmed = true;
    form->show();
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    EXPECT_TRUE(form->isHidden());
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(Info(), before);
}

} // namespace
