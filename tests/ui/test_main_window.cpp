// The main window offscreen: layout, first showing, the display tick, the choice boxes, the key
// filters, exit, language and the window set.
#include "IdentConfigSupport.h"
#include "MainFormFixture.h"
#include "app/About.h"
#include "app/Windows.h"
#include "config/Saverec.h"
#include "diag/Diagnose.h"
#include "model/Format.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/Regional.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <cerrno>
#include <utility>
#include <vector>

namespace {

QColor Face() {
    return VextorColors::ButtonFace();
}

// The widget's font is the design's Tahoma of that cell height.
testing::AssertionResult CellIs(const QWidget& w, int px) {
    const QFont font = w.font();
    const QFont design = DesignFont(px);
    if (font.family() == design.family() && font.pixelSize() == design.pixelSize() &&
        DesignCellHeight(font) <= px)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << w.objectName().toStdString() << " has " << font.family().toStdString() << " "
           << font.pixelSize() << " px, cell " << DesignCellHeight(font);
}

void Type(QWidget& target, char c) {
    const QString text(QLatin1Char{c});
    const int key = c >= '0' && c <= '9'   ? Qt::Key_0 + (c - '0')
                    : c >= 'a' && c <= 'z' ? Qt::Key_A + (c - 'a')
                    : c >= 'A' && c <= 'Z' ? Qt::Key_A + (c - 'A')
                    : c == ','             ? Qt::Key_Comma
                    : c == '.'             ? Qt::Key_Period
                                           : Qt::Key_unknown;
    SendKey(target, key, text);
}

// ---- Layout ----

using MainWindowLayout = MainFormTest;

TEST_F(MainWindowLayout, WindowMenuAndFixedControls) {
    TMainForm& f = *form;
    EXPECT_EQ(f.objectName(), "MainForm");
    EXPECT_EQ(f.windowTitle(), "Vextor Config V01.00.01");
    EXPECT_EQ(f.size(), QSize(1024, 768));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()); // not resizable
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f.windowFlags() & Qt::WindowCloseButtonHint);
    // The menu bar above the client area, together exactly the window's height.
    EXPECT_EQ(f.MainMenu1.geometry().top(), 0);
    EXPECT_EQ(f.Client.geometry(),
              QRect(0, f.MainMenu1.height(), 1024, 768 - f.MainMenu1.height()));
    EXPECT_EQ(f.N1.title(), "Lingua");
    EXPECT_EQ(f.Italiano1.text(), "Italiano");
    EXPECT_EQ(f.Inglese1.text(), "Inglese");
    EXPECT_EQ(f.Info1.title(), "Info");
    EXPECT_EQ(f.Help1.text(), "Help");
    EXPECT_EQ(f.A1.text(), "About");

    EXPECT_EQ(f.PanelTop.geometry(), QRect(0, 0, 1024, 49));
    EXPECT_EQ(f.PanelTop.palette().color(QPalette::Window), VextorColors::White);
    EXPECT_EQ(f.ShapeBOARD.geometry(), QRect(8, 10, 15, 15));
    EXPECT_EQ(f.ShapeBOARD.BrushColor(), VextorColors::Silver);
    EXPECT_EQ(f.Label1.pos(), QPoint(34, 12));
    EXPECT_EQ(f.Label1.text(), "-----");
    EXPECT_EQ(f.Label3.pos(), QPoint(8, 31));
    EXPECT_EQ(f.Label3.text(), "-----");
    EXPECT_EQ(f.SpeedButton9.geometry(), QRect(88, 9, 129, 31));
    EXPECT_EQ(f.SpeedButton9.text(), "Connetti");
    EXPECT_EQ(f.ProgressBarCOM.geometry(), QRect(238, 9, 402, 33));
    EXPECT_EQ(f.ProgressBarCOM.Maximum(), 10);
    EXPECT_EQ(f.PanelOra.geometry(), QRect(782, 7, 225, 35));
    EXPECT_EQ(f.PanelOra.palette().color(QPalette::Window), VextorColors::SkyBlue);
    EXPECT_TRUE(f.PanelOra.font().bold());

    EXPECT_EQ(f.PanelBottom.geometry(), QRect(0, f.Client.height() - 75, 1024, 75));
    EXPECT_EQ(f.Image1.geometry(), QRect(8, 5, 174, 66));
    EXPECT_FALSE(f.Image1.pixmap().isNull());
    EXPECT_EQ(f.SpeedButton6.geometry(), QRect(464, 8, 176, 41));
    EXPECT_EQ(f.SpeedButton6.text(), "Grafico");
    EXPECT_EQ(f.SpeedButton2.geometry(), QRect(646, 8, 176, 41));
    EXPECT_EQ(f.SpeedButton2.text(), "Leggi parametri");
    EXPECT_EQ(f.SpeedButton7.geometry(), QRect(828, 8, 176, 41));
    EXPECT_EQ(f.SpeedButton7.text(), "Chiudi");

    EXPECT_EQ(f.ComboBox1.width(), 305);
    EXPECT_EQ(f.ComboBox1.toolTip(), "P05 Tipo uscita");
    EXPECT_EQ(f.ComboBox1.count(), 4);
    EXPECT_EQ(f.ComboBox1.itemText(0), "Velocità Flusso [mt/sec]");
    EXPECT_EQ(f.ComboBox1.itemText(3), "Portata Volumetrica [Nmc/h]");
    EXPECT_EQ(f.ComboBox1.currentIndex(), 0);
    EXPECT_FALSE(f.ComboBox1.isEditable());
    EXPECT_EQ(f.ComboBox2.geometry(), QRect(10, 40, 218, 24));
    EXPECT_TRUE(CellIs(f.ComboBox2, 13));
    EXPECT_EQ(f.ComboBox2.itemText(0), "Cilindro");
    EXPECT_EQ(f.ComboBox2.itemText(1), "Quadrato");

    EXPECT_EQ(f.Label6.pos(), QPoint(700, 520));
    EXPECT_EQ(f.Label6.text(), "Batch");
    EXPECT_EQ(f.Edit2.pos(), QPoint(700, 535));
    EXPECT_EQ(f.Edit2.text(), "------");
    EXPECT_TRUE(f.Edit2.isReadOnly());
    EXPECT_EQ(f.Label7.pos(), QPoint(850, 520));
    EXPECT_EQ(f.Label7.text(), "SN");
    EXPECT_EQ(f.Edit3.pos(), QPoint(850, 535));
    EXPECT_EQ(f.Edit3.text(), "-----");
    EXPECT_TRUE(f.Edit3.isReadOnly());

    // Panel headers: bars at the top of their panel, 24 high, sky blue, bold.
    struct Header {
        QLabel& bar;
        QLabel& panel;
        const char* text;
    };
    for (const Header& h :
         {Header{f.Panel3, f.Panel2, "DATI SENSORE"}, Header{f.Panel5, f.Panel4, "TIPO USCITA"},
          Header{f.Panel7, f.Panel6, "CARATTERISTICHE DEL CONDOTTO"},
          Header{f.Panel9, f.Panel8, "PRESSIONE DI ESERCIZIO [ Bar ass. ]"},
          Header{f.Panel11, f.Panel10, "FATTORE DI PROFILO"}}) {
        EXPECT_EQ(h.bar.parentWidget(), &h.panel);
        EXPECT_EQ(h.bar.geometry(), QRect(0, 0, h.panel.width(), 24)) << h.text;
        EXPECT_EQ(h.bar.text(), h.text);
        EXPECT_EQ(h.bar.palette().color(QPalette::Window), VextorColors::SkyBlue);
        EXPECT_TRUE(h.bar.font().bold());
    }

    // Timers: only the connection supervision runs from creation.
    EXPECT_TRUE(connectTimerWasRunning);
    EXPECT_EQ(f.TimerConnect.interval(), 1000);
    EXPECT_EQ(f.TimerVisual.interval(), 1000);
    EXPECT_EQ(f.TimerSearch.interval(), 2000);
    EXPECT_EQ(f.TimerMem.interval(), 500);
    EXPECT_EQ(f.TimerMem1.interval(), 500);
    EXPECT_EQ(f.TimerMes.interval(), 5000);
    for (QTimer* t : {&f.TimerVisual, &f.TimerSearch, &f.TimerMem, &f.TimerMem1, &f.TimerMes})
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
    EXPECT_EQ(f.FirstShow, 1);

    // Hints: lime, 15 seconds.
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), VextorColors::Lime);
    EXPECT_EQ(ApplicationHintVisibleMs(), 15000);
}

TEST(DesignFonts, TahomaTakesItsWindowsCellHeight) {
    UiApp();
    if (DesignFont(14).family() != "Tahoma")
        GTEST_SKIP() << "Tahoma is not installed (fonts-wine)";
    // Tahoma's cell is 2472/2048 of its em size: ascent 2049, descent 423.
    for (auto [cell, em] : {std::pair{13, 11}, {14, 12}, {18, 15}, {24, 20}, {32, 26}}) {
        EXPECT_EQ(DesignFont(cell).pixelSize(), em) << cell;
        EXPECT_EQ(DesignCellHeight(DesignFont(cell)), cell - (cell == 32 ? 1 : 0)) << cell;
    }
}

TEST_F(MainWindowLayout, ComputedPlacesFollowTheWindowHeight) {
    TMainForm& f = *form;
    EXPECT_EQ(f.Panel2.geometry(), QRect(10, 55, 220, 528));
    EXPECT_EQ(f.Panel4.geometry(), QRect(240, 55, 380, 259));
    EXPECT_EQ(f.Panel6.geometry(), QRect(240, 324, 380, 259));
    EXPECT_EQ(f.Panel8.geometry(), QRect(630, 55, 380, 179));
    EXPECT_EQ(f.Panel10.geometry(), QRect(630, 244, 380, 259));
    EXPECT_EQ(f.SpeedButton8.geometry(), QRect(10, 588, 257, 47));
    EXPECT_EQ(f.SpeedButton10.geometry(), QRect(271, 588, 170, 47));
    EXPECT_EQ(f.SpeedButton11.geometry(), QRect(447, 588, 170, 47));
    EXPECT_EQ(f.AdvSmoothProgressBar2.geometry(), QRect(623, 588, 199, 26));
    EXPECT_EQ(f.AdvSmoothProgressBar2.Maximum(), 4);
    EXPECT_EQ(f.StaticText1.geometry(), QRect(623, 618, 199, 17));
    EXPECT_EQ(f.StaticText1.alignment(), Qt::AlignCenter);
    // Everything fits above the bottom strip.
    EXPECT_LE(f.SpeedButton8.geometry().bottom(), f.PanelBottom.geometry().top());
    EXPECT_LE(f.StatusBoxes[15]->geometry().bottom(), f.PanelBottom.geometry().top());
}

TEST_F(MainWindowLayout, CreatedControlsArePlacedParentedAndColoured) {
    TMainForm& f = *form;
    QWidget* client = &f.Client;
    const std::array<QWidget*, 16> paramParents{
        client,    client,    client,    client,    &f.Panel4,  &f.Panel4,  &f.Panel4, &f.Panel6,
        &f.Panel6, &f.Panel8, &f.Panel8, &f.Panel6, &f.Panel10, &f.Panel10, client,    client};
    // The designed places (left, top inside the parent) of the labels, by slot.
    const std::array<QPoint, 16> paramPlaces{
        QPoint(10, 30),  QPoint(10, 100),  QPoint(10, 170),  QPoint(850, 590),
        QPoint(10, 30),  QPoint(10, 100),  QPoint(10, 150),  QPoint(10, 80),
        QPoint(10, 130), QPoint(10, 30),   QPoint(10, 80),   QPoint(10, 180),
        QPoint(220, 80), QPoint(220, 130), QPoint(200, 130), QPoint(200, 395)};
    const std::array<QPoint, 16> statusPlaces{
        QPoint(10, 30),   QPoint(10, 30),  QPoint(10, 100), QPoint(10, 240),
        QPoint(10, 30),   QPoint(10, 365), QPoint(10, 240), QPoint(220, 80),
        QPoint(220, 80),  QPoint(10, 80),  QPoint(10, 80),  QPoint(220, 365),
        QPoint(220, 130), QPoint(10, 290), QPoint(10, 340), QPoint(850, 590)};
    const std::array<int, 16> paramLabelPx{0,  0,  0,  0,  24, 14, 14, 14,
                                           14, 14, 14, 14, 14, 14, 0,  0};
    const std::array<QWidget*, 16> statusParents{
        &f.Panel2, &f.Panel2, &f.Panel2,  client, &f.Panel10, client,    &f.Panel2, &f.Panel6,
        client,    client,    &f.Panel10, client, &f.Panel6,  &f.Panel2, &f.Panel2, client};
    const std::array<int, 16> statusLabelPx{24, 24, 24, 0, 14, 0,  14, 14,
                                            0,  0,  14, 0, 14, 14, 14, 14};
    const std::array<int, 16> statusBoxPx{32, 32, 32, 0, 18, 0,  18, 18,
                                          0,  0,  18, 0, 18, 18, 18, 18};

    for (size_t i = 0; i < 16; ++i) {
        SCOPED_TRACE("slot " + std::to_string(i));
        const QLabel& label = *f.ParamLabels[i];
        const QLineEdit& box = *f.ParamBoxes[i];
        EXPECT_EQ(label.parentWidget(), paramParents[i]);
        EXPECT_EQ(box.parentWidget(), paramParents[i]);
        EXPECT_EQ(label.pos(), paramPlaces[i]);
        EXPECT_EQ(box.pos(), label.pos() + QPoint(0, paramLabelPx[i] == 14 ? 15 : 25));
        if (paramLabelPx[i] > 0) {
            EXPECT_TRUE(CellIs(label, paramLabelPx[i]));
            EXPECT_EQ(label.palette().color(QPalette::WindowText), VextorColors::Black);
        } else {
            EXPECT_EQ(label.font(), f.font());
        }
        const bool shown = paramLabelPx[i] > 0;
        EXPECT_EQ(label.isHidden(), !shown || i == 8); // slot 8 only for a square duct
        if (shown && i != 4) {
            EXPECT_TRUE(CellIs(box, 18));
            EXPECT_EQ(BoxColor(box), VextorColors::White);
        }
        EXPECT_FALSE(box.isReadOnly());
    }
    // Slot 4: the choice box stands for the box.
    EXPECT_TRUE(f.ParamBoxes[4]->isHidden());
    EXPECT_EQ(f.ComboBox1.parentWidget(), &f.Panel4);
    EXPECT_EQ(f.ComboBox1.pos(), QPoint(10, 55));
    EXPECT_TRUE(CellIs(f.ComboBox1, 24));
    EXPECT_EQ(BoxColor(f.ComboBox1), VextorColors::White);
    // Hidden for ever.
    for (size_t i : {0u, 1u, 2u, 3u, 14u, 15u}) {
        EXPECT_TRUE(f.ParamLabels[i]->isHidden()) << i;
        EXPECT_TRUE(f.ParamBoxes[i]->isHidden()) << i;
    }
    // The unit labels.
    EXPECT_EQ(f.Label4.parentWidget(), &f.Panel4);
    EXPECT_EQ(f.Label4.pos(), QPoint(140, 100));
    EXPECT_EQ(f.Label5.pos(), QPoint(140, 150));
    EXPECT_TRUE(CellIs(f.Label4, 14));
    EXPECT_EQ(f.LabelUnit.parentWidget(), &f.Panel2);
    EXPECT_EQ(f.LabelUnit.pos(), QPoint(130, 30));
    EXPECT_TRUE(CellIs(f.LabelUnit, 24));
    EXPECT_EQ(f.LabelUnit.palette().color(QPalette::WindowText), VextorColors::Blue);

    for (size_t i = 0; i < 16; ++i) {
        SCOPED_TRACE("measurement " + std::to_string(i));
        const QLabel& label = *f.StatusLabels[i];
        const QLineEdit& box = *f.StatusBoxes[i];
        EXPECT_EQ(label.parentWidget(), statusParents[i]);
        EXPECT_EQ(box.parentWidget(), statusParents[i]);
        EXPECT_EQ(label.pos(), statusPlaces[i]);
        EXPECT_EQ(box.pos(), label.pos() + QPoint(0, statusLabelPx[i] == 14 ? 15 : 25));
        EXPECT_TRUE(box.isReadOnly());
        if (statusLabelPx[i] > 0) {
            EXPECT_TRUE(CellIs(label, statusLabelPx[i]));
            EXPECT_EQ(label.palette().color(QPalette::WindowText),
                      statusLabelPx[i] == 24 ? VextorColors::Blue : VextorColors::Black);
            EXPECT_TRUE(CellIs(box, statusBoxPx[i]));
            EXPECT_EQ(BoxColor(box), i == 15 ? VextorColors::Yellow : VextorColors::Lime);
        } else {
            EXPECT_TRUE(label.isHidden());
            EXPECT_TRUE(box.isHidden());
        }
    }
}

// No text is cut off by its control or its panel, and no two shown controls overlap, in either
// language and in every layout the tick can choose.
struct LayoutCase {
    int language;
    int outputType;
    int ductBase;
    int link; // 0 off-line, 1 search, 2 on-line
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << "language " << c.language << ", output " << c.outputType << ", base " << c.ductBase
        << ", link " << c.link;
}

class MainWindowFit : public MainFormTest, public testing::WithParamInterface<LayoutCase> {};

// The controls directly inside `panel` that are shown.
std::vector<QWidget*> ShownChildren(QWidget& panel) {
    std::vector<QWidget*> shown;
    for (QObject* o : panel.children())
        if (o->isWidgetType() && !static_cast<QWidget*>(o)->isHidden() &&
            !static_cast<QWidget*>(o)->isWindow())
            shown.push_back(static_cast<QWidget*>(o));
    return shown;
}

int TextWidth(const QWidget& w, const QString& text) {
    return QFontMetrics(w.font()).horizontalAdvance(text);
}

TEST_P(MainWindowFit, NoClippedOrOverlappingTexts) {
    const LayoutCase c = GetParam();
    TMainForm& f = *form;
    f.FormShow();
    if (c.language == 2)
        f.Inglese1Click();
    f.Tables.SetupWords[4] = c.outputType;
    f.Tables.SetupWords[8] = c.ductBase;
    f.Tables.SetupWords[10] = 60000; // widest texts the boxes show
    f.Tables.SetupWords[13] = 10000;
    f.Tables.SetupReceived = 1;
    f.Tables.LinkActive = c.link == 2 ? 1 : 0;
    f.Search.SearchStep = c.link == 1 ? 3 : 0;
    f.Comm1.SetDeviceName(c.link == 0 ? "" : "COM10");
    f.Tables.StatusWords[1] = 65535;
    f.Tables.StatusWords[0] = 65535;
    f.Tables.InfoWords[0] = 1;
    f.Tables.InfoWords[1] = 34463; // 99.999
    f.Tables.InfoWords[2] = 99;
    f.Tables.InfoWords[3] = 65535;
    f.Tables.InfoReceived = 1;
    f.TimerVisualTimer();

    for (QWidget* panel : {static_cast<QWidget*>(&f.Client), static_cast<QWidget*>(&f.PanelTop),
                           static_cast<QWidget*>(&f.PanelBottom), static_cast<QWidget*>(&f.Panel2),
                           static_cast<QWidget*>(&f.Panel4), static_cast<QWidget*>(&f.Panel6),
                           static_cast<QWidget*>(&f.Panel8), static_cast<QWidget*>(&f.Panel10)}) {
        const std::vector<QWidget*> shown = ShownChildren(*panel);
        const QRect inside = panel == &f.Client ? panel->rect() : panel->contentsRect();
        for (QWidget* w : shown) {
            const std::string name =
                panel->objectName().toStdString() + "/" + w->objectName().toStdString();
            const bool header = qobject_cast<QLabel*>(w) && w->geometry().top() == 0 &&
                                w->width() == panel->width();
            if (!header) {
                EXPECT_TRUE(inside.contains(w->geometry())) << name << " leaves its panel";
            }
            if (auto* label = qobject_cast<QLabel*>(w); label && label->pixmap().isNull()) {
                EXPECT_LE(TextWidth(*label, label->text()), label->contentsRect().width())
                    << name << " cuts " << label->text().toStdString();
            }
            if (auto* button = qobject_cast<QPushButton*>(w)) {
                EXPECT_LE(TextWidth(*button, button->text()) + 12, button->width())
                    << name << " cuts " << button->text().toStdString();
            }
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                EXPECT_LE(TextWidth(*edit, edit->text()) + 8, edit->width())
                    << name << " cuts " << edit->text().toStdString();
            }
            if (auto* combo = qobject_cast<QComboBox*>(w)) {
                for (int i = 0; i < combo->count(); ++i) {
                    EXPECT_LE(TextWidth(*combo, combo->itemText(i)) + 30, combo->width())
                        << name << " cuts " << combo->itemText(i).toStdString();
                }
            }
        }
        for (size_t a = 0; a < shown.size(); ++a)
            for (size_t b = a + 1; b < shown.size(); ++b) {
                EXPECT_FALSE(shown[a]->geometry().intersects(shown[b]->geometry()))
                    << panel->objectName().toStdString() << ": "
                    << shown[a]->objectName().toStdString() << " overlaps "
                    << shown[b]->objectName().toStdString();
            }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, MainWindowFit,
                         testing::Values(LayoutCase{1, 0, 0, 0}, LayoutCase{1, 1, 0, 1},
                                         LayoutCase{1, 1, 900, 2}, LayoutCase{1, 7, 900, 2},
                                         LayoutCase{2, 0, 0, 0}, LayoutCase{2, 1, 0, 1},
                                         LayoutCase{2, 3, 900, 2}, LayoutCase{2, 7, 900, 2}));

// ---- First showing ----

struct ShowCase {
    const char* settings; // nullptr: no settings file
    int32_t languageIndex;
    const char* password;
    int32_t debug;
    int language;
    const char* helpFile;
};

void PrintTo(const ShowCase& c, std::ostream* os) {
    *os << (c.settings != nullptr ? c.settings : "no settings file");
}

class MainWindowShow : public MainFormTest, public testing::WithParamInterface<ShowCase> {};

TEST_P(MainWindowShow, ReadsTheSettingsAndStartsTheSearch) {
    const ShowCase c = GetParam();
    if (c.settings != nullptr)
        WriteSettings(c.settings);
    TMainForm& f = *form;
    f.Tables.DataModified = 1;
    f.FormShow();
    EXPECT_EQ(f.LanguageIndex, c.languageIndex);
    EXPECT_EQ(f.GatePassword, c.password);
    EXPECT_EQ(f.DebugEnabled, c.debug);
    EXPECT_EQ(Translation().Language(), c.language);
    EXPECT_EQ(f.Help.HelpFile(), c.helpFile);
    EXPECT_EQ(f.Search.SearchStep, 1);
    EXPECT_TRUE(f.TimerVisual.isActive());
    EXPECT_EQ(f.ComboBox2.currentIndex(), 0);
    EXPECT_EQ(f.FirstShow, 0);
    EXPECT_EQ(f.Tables.DataModified, 0);
    EXPECT_EQ(f.StoreStep, 0);
    EXPECT_EQ(f.ReadStep, 0);
    EXPECT_TRUE(f.AdvSmoothProgressBar2.isHidden());
    EXPECT_FALSE(f.StaticText1.isHidden());
    EXPECT_EQ(f.StaticText1.text(), c.language == 2 ? "Ready" : "Pronto");
    EXPECT_EQ(f.StaticText1.palette().color(QPalette::Window), VextorColors::White);
    EXPECT_EQ(f.ParamLabels[5]->text(), "Zero [4mA]");
    EXPECT_EQ(f.ParamLabels[6]->text(),
              c.language == 2 ? "Full scale [20mA]" : "Fondo Scala [20mA]");
    EXPECT_EQ(f.StatusLabels[2]->text(),
              c.language == 2 ? "Temperature [° C]" : "Temperatura [°C]");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(f.ParamBoxes[static_cast<size_t>(i)]->toolTip(),
                  QStringLiteral("P%1").arg(i + 1, 2, 10, QChar('0')));
        EXPECT_EQ(f.StatusBoxes[static_cast<size_t>(i)]->toolTip(),
                  QStringLiteral("D%1").arg(i + 1, 2, 10, QChar('0')));
    }
    // Showing writes nothing.
    EXPECT_EQ(std::filesystem::exists(SettingsFile()), c.settings != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Settings, MainWindowShow,
                         testing::Values(ShowCase{nullptr, 0, "7053", 0, 1, "VextorHelpITA.chm"},
                                         ShowCase{"[Vextor]\r\nLang=1\r\nPwd=\r\nDebug=1\r\n", 1,
                                                  "", 1, 2, "VextorHelpENG.chm"},
                                         ShowCase{"[Vextor]\r\nLang=0\r\nPwd=1234\r\nDebug=x\r\n",
                                                  0, "1234", 0, 1, "VextorHelpITA.chm"},
                                         // Only two languages exist: any other value is the first.
                                         ShowCase{"[Vextor]\r\nLang=3\r\n", 0, "7053", 0, 1,
                                                  "VextorHelpITA.chm"}));

// ---- Display tick ----

using DisplayTick = MainFormTest;

struct StripCase {
    uint8_t linkActive;
    int32_t searchStep;
    QColor lamp;
    const char* state;
    const char* port; // nullptr: the device name
    bool connect;
    bool progress;
};

TEST_F(DisplayTick, LinkStripShowsTheThreeStates) {
    TMainForm& f = *form;
    f.Comm1.SetDeviceName("COM3");
    for (const StripCase& c :
         {StripCase{0, 0, Face(), "Off-Line", "----", true, false},
          StripCase{0, 3, VextorColors::Aqua, "Search-Line", nullptr, false, true},
          StripCase{1, 0, VextorColors::Lime, "On-Line", nullptr, false, false},
          StripCase{0, 0, Face(), "Off-Line", "----", true, false}}) {
        SCOPED_TRACE(c.state);
        f.Tables.LinkActive = c.linkActive;
        f.Search.SearchStep = c.searchStep;
        const QString before = DateTimeToStr(QDateTime::currentDateTime());
        f.TimerVisualTimer();
        const QString after = DateTimeToStr(QDateTime::currentDateTime());
        EXPECT_EQ(f.ShapeBOARD.BrushColor(), c.lamp);
        EXPECT_EQ(f.Label1.text(), c.state);
        EXPECT_EQ(f.Label3.text(), c.port ? c.port : "COM3");
        EXPECT_EQ(!f.SpeedButton9.isHidden(), c.connect);
        EXPECT_EQ(!f.ProgressBarCOM.isHidden(), c.progress);
        EXPECT_TRUE(f.PanelOra.text() == before || f.PanelOra.text() == after)
            << f.PanelOra.text().toStdString();
    }
}

TEST_F(DisplayTick, MeasurementsFollowTheLinkWithTheirDecimalsAndSeparator) {
    TMainForm& f = *form;
    const std::array<int32_t, 16> words{1234, 587, 253, 1204, 8699, 10000, 432,   200,
                                        1500, 77,  -1,  -5,   314,  13392, 10481, 105};
    for (size_t i = 0; i < 16; ++i)
        f.Tables.StatusWords[i] = words[i];

    f.TimerVisualTimer(); // no link yet
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(f.StatusBoxes[i]->text(), "----") << i;
        EXPECT_EQ(BoxColor(*f.StatusBoxes[i]), Face()) << i;
    }

    f.Tables.LinkActive = 1;
    {
        const ScopedRegionalOverride comma(',');
        f.TimerVisualTimer();
        const std::array<const char*, 16> shown{
            "12,34", "587",  "25,3",    "1,204", "0,8699", "1,0000", "4,32",   "200",
            "1500",  "0,77", "-0,0001", "-5",    "314",    "13,392", "10,481", "1,05"};
        for (size_t i = 0; i < 16; ++i) {
            EXPECT_EQ(f.StatusBoxes[i]->text(), shown[i]) << i;
            EXPECT_EQ(BoxColor(*f.StatusBoxes[i]),
                      i == 15 ? VextorColors::Yellow : VextorColors::Lime)
                << i;
        }
    }
    const ScopedRegionalOverride point('.');
    f.TimerVisualTimer();
    EXPECT_EQ(f.StatusBoxes[15]->text(), "1.05");
    EXPECT_EQ(f.StatusBoxes[2]->text(), "25.3");

    f.Tables.LinkActive = 0; // the link was lost
    f.TimerVisualTimer();
    EXPECT_EQ(f.StatusBoxes[15]->text(), "----");
    EXPECT_EQ(BoxColor(*f.StatusBoxes[15]), Face());
}

TEST_F(DisplayTick, ParametersAreRewrittenOnlyWhenANewImageArrived) {
    TMainForm& f = *form;
    const ScopedRegionalOverride point('.');
    const std::array<int32_t, 16> words{-1000, 3,    64536, 105, 2,    0, 1000, 200,
                                        0,     2500, 12345, 15,  1000, 0, 7,    8};
    for (size_t i = 0; i < 16; ++i)
        f.Tables.SetupWords[i] = words[i];
    f.TimerVisualTimer();
    EXPECT_EQ(f.ParamBoxes[9]->text(), ""); // nothing received yet

    SetBoxColor(*f.ParamBoxes[9], VextorColors::Yellow); // typed, not yet stored
    f.Tables.SetupReceived = 1;
    f.TimerVisualTimer();
    const std::array<const char*, 16> shown{"-1000",  "3",      "64536", "105",   "2",      "0",
                                            "1000",   "200",    "0",     "2.500", "1.2345", "1.5",
                                            "0.1000", "0.0000", "7",     "8"};
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(f.ParamBoxes[i]->text(), shown[i]) << i;
    EXPECT_EQ(f.Tables.SetupReceived, 0);
    EXPECT_EQ(BoxColor(*f.ParamBoxes[9]), VextorColors::Yellow); // colours are not touched
    // The program's selection is not the user's: no change handler ran.
    EXPECT_EQ(f.ComboBox1.currentIndex(), 2);
    EXPECT_EQ(f.Tables.DataModified, 0);
    EXPECT_EQ(BoxColor(f.ComboBox1), VextorColors::White);

    f.ParamBoxes[9]->setText("9,9");
    f.TimerVisualTimer(); // no new image: the typed text stays
    EXPECT_EQ(f.ParamBoxes[9]->text(), "9,9");
}

struct OutputCase {
    int32_t word;
    int item;
    const char* unit;
    bool flowLayout;
    const char* current; // caption of measurement 13
};

TEST_F(DisplayTick, OutputTypeChoosesUnitsAndLayout) {
    TMainForm& f = *form;
    f.FormShow();
    for (const OutputCase& c : {OutputCase{0, 0, "[mt/sec]", false, "mA out velocità"},
                                OutputCase{1, 1, "[Kg/h]", true, "mA out portata"},
                                OutputCase{2, 2, "[mc/h]", true, "mA out portata"},
                                OutputCase{3, 3, "[Nmc/h]", true, "mA out portata"},
                                OutputCase{7, -1, "[----]", true, "mA out portata"},
                                OutputCase{0, 0, "[mt/sec]", false, "mA out velocità"}}) {
        SCOPED_TRACE(c.word);
        f.Tables.SetupWords[4] = c.word;
        f.Tables.SetupReceived = 1;
        f.TimerVisualTimer();
        EXPECT_EQ(f.ComboBox1.currentIndex(), c.item);
        EXPECT_EQ(f.LabelUnit.text(), c.unit);
        EXPECT_EQ(f.Label4.text(), c.unit);
        EXPECT_EQ(f.Label5.text(), c.unit);
        EXPECT_EQ(f.Panel6.isHidden(), !c.flowLayout);
        EXPECT_EQ(f.StatusLabels[0]->isHidden(), c.flowLayout);
        EXPECT_EQ(f.StatusBoxes[0]->isHidden(), c.flowLayout);
        EXPECT_EQ(f.StatusLabels[1]->isHidden(), !c.flowLayout);
        EXPECT_EQ(f.StatusBoxes[1]->isHidden(), !c.flowLayout);
        // Velocity and flow share one place.
        EXPECT_EQ(f.StatusBoxes[0]->geometry(), f.StatusBoxes[1]->geometry());
        EXPECT_EQ(f.StatusLabels[13]->text(), c.current);
    }
}

TEST_F(DisplayTick, DuctShapeShowsTheSquareDuctControls) {
    TMainForm& f = *form;
    f.FormShow();
    f.Tables.SetupWords[4] = 1;
    auto squareControls = [&] {
        return std::vector<bool>{!f.ParamLabels[8]->isHidden(),   !f.ParamBoxes[8]->isHidden(),
                                 !f.StatusLabels[7]->isHidden(),  !f.StatusBoxes[7]->isHidden(),
                                 !f.StatusLabels[12]->isHidden(), !f.StatusBoxes[12]->isHidden()};
    };
    for (int32_t base : {250, 0, 1}) {
        SCOPED_TRACE(base);
        const bool square = base != 0;
        f.Tables.SetupWords[8] = base;
        f.Tables.SetupReceived = 1;
        f.TimerVisualTimer();
        EXPECT_EQ(f.ComboBox2.currentIndex(), square ? 1 : 0);
        EXPECT_EQ(f.ParamLabels[7]->text(),
                  square ? "Altezza interna condotto [mm]" : "Diametro interno condotto [mm]");
        EXPECT_FALSE(f.ParamLabels[7]->isHidden());
        EXPECT_FALSE(f.ParamBoxes[7]->isHidden());
        EXPECT_EQ(squareControls(), std::vector<bool>(6, square));
    }
}

TEST_F(DisplayTick, StoreButtonIdentificationAndConfirmation) {
    TMainForm& f = *form;
    int fills = 0;
    f.FillFromInfo = [&] { ++fills; };
    f.TimerVisualTimer();
    EXPECT_FALSE(f.SpeedButton8.isEnabled());
    EXPECT_EQ(f.Edit2.text(), "------");
    f.Tables.DataModified = 1;
    f.TimerVisualTimer();
    EXPECT_TRUE(f.SpeedButton8.isEnabled());

    f.Tables.InfoWords[0] = 0;
    f.Tables.InfoWords[1] = 23456;
    f.Tables.InfoWords[2] = 7;
    f.Tables.InfoWords[3] = 1234;
    f.Tables.InfoReceived = 1;
    const ScopedRegionalOverride comma(',');
    f.TimerVisualTimer();
    EXPECT_EQ(f.Edit2.text(), "23,456/07");
    EXPECT_EQ(f.Edit3.text(), "1234");
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(f.Tables.InfoReceived, 0);
    f.TimerVisualTimer();
    EXPECT_EQ(fills, 1);

    // Confirmed without a link: nothing to ask, the flag is cleared all the same.
    f.SerialConfirmed = true;
    f.TimerVisualTimer();
    EXPECT_FALSE(f.SerialConfirmed);
}

// ---- Choice boxes and key filters ----

using ChoiceBoxes = MainFormTest;

TEST_F(ChoiceBoxes, TheUserChangesTheOutputType) {
    TMainForm& f = *form;
    f.FormShow();
    SendKey(f.ComboBox1, Qt::Key_Down); // selection by the user
    EXPECT_EQ(f.ComboBox1.currentIndex(), 1);
    EXPECT_EQ(f.Tables.DataModified, 1);
    EXPECT_EQ(BoxColor(f.ComboBox1), VextorColors::Yellow);
    EXPECT_EQ(f.Tables.SetupWords[4], 1);
    for (QLabel* unit : {&f.LabelUnit, &f.Label4, &f.Label5})
        EXPECT_EQ(unit->text(), "[Kg/h]");
    EXPECT_TRUE(f.StatusLabels[0]->isHidden());
    EXPECT_FALSE(f.StatusBoxes[1]->isHidden());
    EXPECT_TRUE(f.Panel6.isHidden()); // follows at the next tick
    f.TimerVisualTimer();
    EXPECT_FALSE(f.Panel6.isHidden());
    EXPECT_EQ(f.StatusLabels[13]->text(), "mA out portata");

    SendKey(f.ComboBox1, Qt::Key_Up);
    EXPECT_EQ(f.Tables.SetupWords[4], 0);
    EXPECT_FALSE(f.StatusBoxes[0]->isHidden());
    EXPECT_TRUE(f.StatusBoxes[1]->isHidden());
    EXPECT_EQ(f.LabelUnit.text(), "[mt/sec]");
}

TEST_F(ChoiceBoxes, TheUserChangesTheDuctShape) {
    TMainForm& f = *form;
    f.FormShow();
    f.Tables.SetupWords[8] = 0;
    SendKey(f.ComboBox2, Qt::Key_Down); // "Quadrato": the base comes with the next store
    EXPECT_EQ(f.ComboBox2.currentIndex(), 1);
    EXPECT_EQ(f.Tables.DataModified, 1);
    EXPECT_EQ(f.Tables.SetupWords[8], 0);
    EXPECT_EQ(f.Tables.SetupReceived, 0);
    f.TimerVisualTimer();
    EXPECT_EQ(f.ParamLabels[7]->text(), "Altezza interna condotto [mm]");
    EXPECT_FALSE(f.ParamBoxes[8]->isHidden());

    f.Tables.SetupWords[8] = 300;
    SendKey(f.ComboBox2, Qt::Key_Up); // "Cilindro": no base, shown again at the next tick
    EXPECT_EQ(f.Tables.SetupWords[8], 0);
    EXPECT_EQ(f.Tables.SetupReceived, 1);
}

TEST_F(ChoiceBoxes, TypedCharactersNeverSelect) {
    TMainForm& f = *form;
    f.FormShow();
    for (char c : {'Q', 'q', 'P', ' ', '1'}) {
        Type(f.ComboBox2, c);
        Type(*f.ComboBox2.view(), c);
        Type(f.ComboBox1, c);
    }
    EXPECT_EQ(f.ComboBox2.currentIndex(), 0);
    EXPECT_EQ(f.ComboBox1.currentIndex(), 0);
    EXPECT_EQ(f.Tables.DataModified, 0);
}

struct KeyCase {
    int slot;
    char separator;
    const char* typed;
    const char* text; // what the box holds afterwards
    bool yellow;
};

TEST_F(ChoiceBoxes, ParameterBoxesTakeDigitsAndTheirSeparatorOnly) {
    TMainForm& f = *form;
    f.FormShow();
    std::vector<std::array<int32_t, 4>> primed;
    f.PrimeKeypad = [&](int slot, char code, int32_t min, int32_t max) {
        primed.push_back({slot, code, min, max});
    };
    for (const KeyCase& c :
         {KeyCase{5, '.', "a-", "", false}, KeyCase{5, '.', "45", "45", true},
          KeyCase{5, ',', "4,5", "45", true}, KeyCase{9, ',', "2,5", "2,5", true},
          KeyCase{9, ',', "2.5", "25", true}, KeyCase{11, '.', "1.5", "1.5", true},
          KeyCase{7, '.', "x", "", false}}) {
        SCOPED_TRACE(std::string(c.typed) + " in " + std::to_string(c.slot));
        const ScopedRegionalOverride separator(c.separator);
        QLineEdit& box = *f.ParamBoxes[static_cast<size_t>(c.slot)];
        box.clear();
        SetBoxColor(box, VextorColors::White);
        f.Tables.DataModified = 0;
        for (const char* p = c.typed; *p != 0; ++p)
            Type(box, *p);
        EXPECT_EQ(box.text(), c.text);
        EXPECT_EQ(f.Tables.DataModified, 1); // even for a rejected key
        EXPECT_EQ(BoxColor(box), c.yellow ? VextorColors::Yellow : VextorColors::White);
    }
    // The keypad follows the box with its code and limits (output range 0..30 for velocity).
    ASSERT_FALSE(primed.empty());
    EXPECT_EQ(primed.front(), (std::array<int32_t, 4>{5, 'P', 0, 30}));
    EXPECT_EQ(primed.back(), (std::array<int32_t, 4>{7, 'P', -1000, 60000}));
}

// ---- Exit ----

using Exit = MainFormTest;

TEST_F(Exit, AsksOnlyWhileDataAreUnsaved) {
    TMainForm& f = *form;
    f.FormShow();
    f.SpeedButton7.click();
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(questions.empty());

    f.Tables.DataModified = 1;
    exitAnswer = false;
    f.SpeedButton7.click();
    EXPECT_EQ(terminations, 1);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], "Dati non salvati in EEPROM ! Vuoi uscire senza salvare ?");
    exitAnswer = true;
    f.SpeedButton7.click();
    EXPECT_EQ(terminations, 2);
}

TEST_F(Exit, TheWindowManagersCloseIsRefused) {
    form->show();
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
}

// ---- Language ----

using Language = MainFormTest;

TEST_F(Language, SwitchRecaptionsAtOnceAndIsRemembered) {
    TMainForm& f = *form;
    f.FormShow();
    f.Tables.SetupWords[4] = 1;
    f.Tables.SetupReceived = 1;
    f.TimerVisualTimer();
    f.StaticText1.setText("Scrittura OK");

    f.Inglese1.trigger();
    EXPECT_EQ(f.LanguageIndex, 1);
    EXPECT_EQ(Translation().Language(), 2);
    EXPECT_NE(ReadSettings().find("Lang=1\r\n"), std::string::npos);
    EXPECT_EQ(f.Help.HelpFile(), "VextorHelpENG.chm");
    EXPECT_EQ(f.SpeedButton2.text(), "Read parameter");
    EXPECT_EQ(f.SpeedButton9.text(), "Connect");
    EXPECT_EQ(f.Panel3.text(), "DATA SENSOR");
    EXPECT_EQ(f.N1.title(), "Language");
    EXPECT_EQ(f.Inglese1.text(), "English");
    EXPECT_EQ(f.ParamLabels[6]->text(), "Full scale [20mA]");
    EXPECT_EQ(f.StatusLabels[4]->text(), "Theoretical profile factor ");
    EXPECT_EQ(f.StaticText1.text(), "Ready");
    EXPECT_EQ(f.Label6.text(), "Batch");
    EXPECT_EQ(f.windowTitle(), "Vextor Config V01.00.01");
    EXPECT_EQ(f.Tables.SetupReceived, 1);
    f.TimerVisualTimer();
    EXPECT_EQ(f.ComboBox1.currentText(), "Mass Flow [Kg/h]");
    EXPECT_EQ(f.ComboBox2.currentText(), "Cylinder");
    EXPECT_EQ(f.LabelUnit.text(), "[Kg/h]");
    EXPECT_EQ(f.StatusLabels[13]->text(), "mA out Flow");

    // The next start is in English.
    form.reset();
    Translation().SetLanguage(1);
    form = MakeForm();
    form->FormShow();
    EXPECT_EQ(form->LanguageIndex, 1);
    EXPECT_EQ(form->SpeedButton2.text(), "Read parameter");
    EXPECT_EQ(form->ParamLabels[6]->text(), "Full scale [20mA]");

    // "Italiano" while Italian is active again rewrites the choice and relabels.
    form->Italiano1.trigger();
    EXPECT_NE(ReadSettings().find("Lang=0\r\n"), std::string::npos);
    form->Italiano1.trigger();
    EXPECT_EQ(form->StaticText1.text(), "Pronto");
    EXPECT_EQ(form->ParamLabels[6]->text(), "Fondo Scala [20mA]");
    EXPECT_EQ(form->windowTitle(), "Vextor Config V01.00.01");
}

TEST_F(Language, AnUnwritableSettingsFileChangesNothing) {
    TMainForm& f = *form;
    f.FormShow();
    f.StaticText1.setText("Scrittura OK");
    const ScopedIniReplaceHook failing([](const std::filesystem::path&) { return EIO; });
    try {
        f.Inglese1Click();
        FAIL() << "no error";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + SettingsFile().string());
    }
    EXPECT_EQ(f.LanguageIndex, 0);
    EXPECT_EQ(Translation().Language(), 1);
    EXPECT_EQ(f.SpeedButton2.text(), "Leggi parametri");
    EXPECT_EQ(f.StaticText1.text(), "Scrittura OK");
    EXPECT_EQ(f.Help.HelpFile(), "VextorHelpITA.chm");
    EXPECT_EQ(f.Tables.SetupReceived, 0);
}

// ---- Where the files live ----

// The program run from a folder it cannot write (a system-wide install, a read-only share). As
// root every folder is writable, so the decision is injected; the per-user folders come from
// XDG_CONFIG_HOME and XDG_DATA_HOME pointed into the test's folder, or from HOME without them.
class FileLocation : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((Folder() / "cfg").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((Folder() / "data").string()));
        qputenv("HOME", QByteArray::fromStdString((Folder() / "home").string()));
    }
    void TearDown() override {
        form.reset();
        SetFolderWritableOverride({});
        for (const auto& [name, value] : saved)
            qputenv(name, value);
        MainFormTest::TearDown();
    }
    // The window created as the program starts, with the folder writable or not.
    void StartWith(bool writable) {
        form.reset();
        SetFolderWritableOverride([writable](const std::filesystem::path&) { return writable; });
        form = MakeForm();
        form->FormShow();
    }
    // Switches the language and saves a configuration, as the user does.
    void SwitchAndSave() {
        form->Inglese1Click();
        form->Tables.SetupWords[6] = 4321;
        TSaveRecalForm window(form->Tables, {}, form.get());
        window.SaveConfig("Duct A");
        EXPECT_TRUE(TSaveRecalForm::ConfigNames().contains("Duct A"));
        form->Tables.SetupWords[6] = 0;
        window.RecallConfig("Duct A");
        EXPECT_EQ(form->Tables.SetupWords[6], 4321);
    }
    std::vector<std::pair<const char*, QByteArray>> saved;
};

TEST_F(FileLocation, AReadOnlyProgramFolderUsesThePerUserFolders) {
    WriteSettings("[Vextor]\r\nPwd=1111\r\n"); // shipped with the install
    StartWith(false);
    SwitchAndSave();
    const auto settings = Folder() / "cfg" / "vextor-config" / "vextor-config.INI";
    EXPECT_EQ(SettingsFilePath(), settings);
    EXPECT_NE(ReadBytes(settings).find("Lang=1"), std::string::npos);
    EXPECT_NE(ReadBytes(settings).find("Pwd=1111"), std::string::npos) << "the shipped settings";
    EXPECT_EQ(form->LanguageIndex, 1);
    EXPECT_TRUE(std::filesystem::exists(Folder() / "data" / "vextor-config" / "Duct A.rcp"));
    // Nothing beside the executable changed.
    EXPECT_EQ(ReadSettings(), "[Vextor]\r\nPwd=1111\r\n");
    EXPECT_FALSE(std::filesystem::exists(Folder() / "Duct A.rcp"));

    // Without the XDG variables: ~/.config and ~/.local/share.
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    StartWith(false);
    SwitchAndSave();
    const auto home = Folder() / "home";
    EXPECT_NE(ReadBytes(home / ".config" / "vextor-config" / "vextor-config.INI").find("Lang=1"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(home / ".local/share/vextor-config/Duct A.rcp"));
}

TEST_F(FileLocation, AWritableProgramFolderKeepsEverythingBesideTheExecutable) {
    StartWith(true);
    SwitchAndSave();
    EXPECT_EQ(SettingsFilePath(), SettingsFile());
    EXPECT_NE(ReadSettings().find("Lang=1"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(Folder() / "Duct A.rcp"));
    EXPECT_FALSE(std::filesystem::exists(Folder() / "cfg"));
    EXPECT_FALSE(std::filesystem::exists(Folder() / "data"));
}

// ---- Help ----

std::vector<std::pair<QString, int>> g_opened;
bool RecordOpen(const QString& path, int context) {
    g_opened.emplace_back(path, context);
    return true;
}

TEST_F(Language, HelpOpensTheFileOfTheLanguage) {
    TMainForm& f = *form;
    f.FormShow();
    const QString ita = QString::fromStdString((Folder() / "VextorHelpITA.chm").string());
    const QString eng = QString::fromStdString((Folder() / "VextorHelpENG.chm").string());
    std::ofstream(ita.toStdString()) << "ita";
    std::ofstream(eng.toStdString()) << "eng";
    g_opened.clear();
    HelpViewer::SetOpener(RecordOpen);
    HelpViewer::SetViewerCheck([] { return true; }); // a viewer for .chm files is installed
    f.Help1.trigger();
    f.FormHelp(); // F1
    f.Inglese1Click();
    f.Help1Click();
    HelpViewer::SetOpener(nullptr);
    HelpViewer::SetViewerCheck(nullptr);
    EXPECT_EQ(f.Help.Window(), nullptr); // the site's files, not the built-in help
    ASSERT_EQ(g_opened.size(), 3);
    EXPECT_EQ(g_opened[0].first, ita);
    EXPECT_EQ(g_opened[1], std::make_pair(ita, 200));
    EXPECT_EQ(g_opened[2].first, eng);
}

// ---- The window set ----

using Windows = MainFormTest;

TEST_F(Windows, AreCreatedWiredAndDestroyed) {
    form.reset();
    CreateWindows();
    ASSERT_NE(MainForm, nullptr);
    ASSERT_NE(DiagnoseForm, nullptr);
    ASSERT_NE(InfoForm, nullptr);
    EXPECT_TRUE(MainForm->isHidden());
    EXPECT_TRUE(DiagnoseForm->isHidden());
    EXPECT_TRUE(InfoForm->isHidden());
    MainForm->TimerConnect.stop();

    // The link lamp opens the link statistics window, "About" the About window.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(7, 7), QPointF(7, 7), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&MainForm->ShapeBOARD, &press);
    EXPECT_TRUE(DiagnoseForm->isVisible());
    MainForm->move(40, 30);
    MainForm->A1.trigger();
    EXPECT_TRUE(InfoForm->isVisible());
    EXPECT_EQ(InfoForm->pos(), MainForm->pos() + QPoint(20, 20));

    DestroyWindows();
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_EQ(DiagnoseForm, nullptr);
    EXPECT_EQ(InfoForm, nullptr);
    DestroyWindows(); // nothing left: nothing happens
}

} // namespace
