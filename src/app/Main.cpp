// The main window: construction, first showing, shutdown, commands and language.
#include "app/Main.h"

#include "app/About.h"
#include "app/Windows.h"
#include "config/Saverec.h"
#include "diag/Diagnose.h"
#include "ident/Pwd.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/Regional.h"
#include "runtime/DoubleClickAction.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Taskbar.h"
#include "runtime/Translation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QRawFont>
#include <QShortcut>
#include <QShowEvent>
#include <QToolTip>

#include <cmath>
#include <exception>
#include <utility>

// ---- Reply hooks ----

bool TMainForm::MainReplyHooks::SerialNumberWindowVisible() const {
    return SerialWindowVisible ? SerialWindowVisible() : false;
}

std::array<int32_t, 4>& TMainForm::MainReplyHooks::SampleWords() {
    return SampleTarget ? SampleTarget() : ownSamples_;
}

void TMainForm::MainReplyHooks::AddSample(int32_t primary, int32_t secondary) {
    if (AddSampleTarget)
        AddSampleTarget(primary, secondary);
}

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont Tahoma(int cellHeight, bool bold = false) {
    return DesignFont(cellHeight, bold);
}

} // namespace

namespace {

// A panel's header bar: aligned to the top of the panel, 24 pixels high, sky blue, bold.
void SetupHeader(QLabel& header, const char* name, const char* caption) {
    QWidget& panel = *header.parentWidget();
    header.setObjectName(QLatin1String(name));
    header.setText(QString::fromUtf8(caption));
    header.setFrameStyle(QFrame::Panel | QFrame::Raised);
    header.setAlignment(Qt::AlignCenter);
    QFont font = header.font();
    font.setBold(true);
    header.setFont(font);
    SetPanelColor(header, VextorColors::SkyBlue);
    header.setGeometry(0, 0, panel.width(), 24);
}

void SetupButton(QPushButton& button, const char* name, const char* caption, const QRect& place) {
    button.setObjectName(QLatin1String(name));
    button.setText(QString::fromUtf8(caption));
    button.setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    button.setGeometry(place);
}

void SetupLabel(QLabel& label, const char* name, const QString& caption, QPoint at) {
    label.setObjectName(QLatin1String(name));
    label.setText(caption);
    label.move(at);
    label.adjustSize();
}

// The product's picture: its name above a duct section with streamlines and the probe.
QPixmap ProductPicture(int width, int height) {
    QPixmap picture(width, height);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QColor navy(18, 46, 98);
    const QColor teal(20, 140, 156);

    // The name.
    QFont name = Tahoma(height * 9 / 20, true);
    painter.setFont(name);
    painter.setPen(navy);
    const QRectF nameBox(0, 0, width, height * 0.52);
    painter.drawText(nameBox, Qt::AlignCenter, QStringLiteral("Vextor"));

    // The duct: a section of pipe with metal walls.
    const qreal top = height * 0.56;
    const qreal bottom = height - 3.0;
    const QRectF duct(4, top, width - 8, bottom - top);
    QLinearGradient inside(duct.topLeft(), duct.bottomLeft());
    inside.setColorAt(0.0, QColor(214, 226, 238));
    inside.setColorAt(0.5, QColor(246, 249, 252));
    inside.setColorAt(1.0, QColor(206, 218, 232));
    painter.setPen(Qt::NoPen);
    painter.setBrush(inside);
    painter.drawRoundedRect(duct, 3, 3);
    painter.setPen(QPen(navy, 1.6));
    painter.drawLine(QPointF(duct.left(), duct.top()), QPointF(duct.right(), duct.top()));
    painter.drawLine(QPointF(duct.left(), duct.bottom()), QPointF(duct.right(), duct.bottom()));

    // Streamlines, faster in the middle: a developed flow profile.
    painter.setBrush(Qt::NoBrush);
    const int lines = 3;
    for (int i = 0; i < lines; ++i) {
        const qreal y = duct.top() + duct.height() * (i + 1) / (lines + 1);
        const qreal reach = i == 1 ? 0.92 : 0.78;
        QPainterPath line;
        line.moveTo(duct.left() + 6, y);
        line.cubicTo(duct.left() + duct.width() * 0.3, y - 2.5, duct.left() + duct.width() * 0.55,
                     y + 2.5, duct.left() + duct.width() * reach, y);
        painter.setPen(QPen(teal, i == 1 ? 1.8 : 1.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(line);
        const QPointF tip(duct.left() + duct.width() * reach + 1, y);
        QPainterPath head;
        head.moveTo(tip);
        head.lineTo(tip + QPointF(-5, -3));
        head.lineTo(tip + QPointF(-5, 3));
        head.closeSubpath();
        painter.fillPath(head, teal);
    }

    // The probe, inserted from the top wall.
    const qreal probeX = duct.left() + duct.width() * 0.42;
    painter.setPen(Qt::NoPen);
    painter.setBrush(navy);
    painter.drawRect(QRectF(probeX - 1.5, top - 6, 3, duct.height() * 0.55 + 6));
    painter.setBrush(QColor(226, 60, 44));
    painter.drawEllipse(QPointF(probeX, top + duct.height() * 0.55), 2.6, 2.6);
    return picture;
}

// How a created slot control looks: its parent, fonts, colours and whether it is ever shown.
struct SlotLook {
    SlotPanel Parent;
    int LabelPx;     // cell height; 0 = the window's font
    bool LabelBlue;  // else black
    int BoxPx;       // cell height; 0 = the window's font
    QColor BoxColor; // invalid = the toolkit's
    int BoxWidth;    // 0 = the toolkit's
    bool Shown;
};

SlotLook ParamLook(int slot) {
    const ParamSlotInfo& info = ParamSlots[static_cast<size_t>(slot)];
    if (info.Where == SlotPanel::None)
        return {SlotPanel::None, 0, false, 0, QColor(), 0, false};
    if (slot == OutputSlot) // the choice box stands for the box
        return {info.Where, 24, false, 0, QColor(), 0, true};
    return {info.Where, 14, false, 18, VextorColors::White, 121, true};
}

SlotLook StatusLook(int slot) {
    const StatusSlotInfo& info = StatusSlots[static_cast<size_t>(slot)];
    if (info.Shown == SlotShownWhen::Never)
        return {SlotPanel::None, 0, false, 0, QColor(), 0, false};
    if (slot <= 2)
        return {info.Where, 24, true, 32, VextorColors::Lime, 180, true};
    if (info.Where == SlotPanel::MainWindow)
        return {info.Where, 14, false, 18, VextorColors::Yellow, 121, true};
    return {info.Where, 14, false, 18, VextorColors::Lime, 121, true};
}

// The box's top: 15 below a 14-pixel label, else 25.
int BoxTop(int labelTop, int labelPx) {
    return labelTop + (labelPx == 14 ? 15 : 25);
}

void SetupBox(QLineEdit& box, const QFont& font, bool customFont, const QColor& colour, int width) {
    if (customFont)
        box.setFont(font);
    if (colour.isValid())
        SetBoxColor(box, colour);
    const QSize hint = box.sizeHint();
    box.resize(width > 0 ? width : hint.width(),
               customFont ? DesignCellHeight(font) + 8 : hint.height());
}

} // namespace

// ---- Construction ----

TMainForm::TMainForm(QWidget* parent)
    : TForm("TMainForm", parent),
      Search(Tables, Comm1, SettingsFilePath(), &Replies,
             TPortSearch::Hooks{
                 [this] { TimerSearch.start(); },
                 [this] { TimerVisual.start(); },
                 [this](int position) { ProgressBarCOM.SetPosition(position); },
             }),
      AskExit([this](const QString& text) {
          QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vextor Config"), text,
                          QMessageBox::Yes | QMessageBox::No, this);
          return box.exec() == QMessageBox::Yes;
      }),
      // exit, not quit: quit() asks every window to close first, and the main window refuses
      // (closeEvent), so "Chiudi" would leave the application running.
      Terminate([] { QCoreApplication::exit(0); }) {
    setWindowTitle(QStringLiteral("Vextor Config V01.00.01"));

    PortNameContext names;
    names.SettingsFile = SettingsFilePath();
    Comm1.SetPortNameContext(names);
    Comm1.OnRxChar = [this](TThreadComm*, uint32_t count) { Comm1RxChar(count); };

    TimerVisual.setObjectName(QStringLiteral("TimerVisual"));
    TimerVisual.setInterval(1000);
    TimerConnect.setObjectName(QStringLiteral("TimerConnect"));
    TimerConnect.setInterval(1000);
    TimerSearch.setObjectName(QStringLiteral("TimerSearch"));
    TimerSearch.setInterval(2000);
    TimerMem.setObjectName(QStringLiteral("TimerMem"));
    TimerMem.setInterval(500);
    TimerMem1.setObjectName(QStringLiteral("TimerMem1"));
    TimerMem1.setInterval(500);
    TimerMes.setObjectName(QStringLiteral("TimerMes"));
    TimerMes.setInterval(5000);
    connect(&TimerVisual, &QTimer::timeout, this, Guarded([this] { TimerVisualTimer(); }));
    connect(&TimerConnect, &QTimer::timeout, this, Guarded([this] { TimerConnectTimer(); }));
    connect(&TimerSearch, &QTimer::timeout, this, Guarded([this] { TimerSearchTimer(); }));

    // Menus: "Lingua" and "Info".
    MainMenu1.setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1.setNativeMenuBar(false);
    N1.setObjectName(QStringLiteral("N1"));
    N1.setTitle(QStringLiteral("Lingua"));
    Italiano1.setObjectName(QStringLiteral("Italiano1"));
    Italiano1.setText(QStringLiteral("Italiano"));
    Inglese1.setObjectName(QStringLiteral("Inglese1"));
    Inglese1.setText(QStringLiteral("Inglese"));
    N1.addAction(&Italiano1);
    N1.addAction(&Inglese1);
    Info1.setObjectName(QStringLiteral("Info1"));
    Info1.setTitle(QStringLiteral("Info"));
    Help1.setObjectName(QStringLiteral("Help1"));
    Help1.setText(QStringLiteral("Help"));
    A1.setObjectName(QStringLiteral("A1"));
    A1.setText(QStringLiteral("About"));
    AutoConnect1.setObjectName(QStringLiteral("AutoConnect1"));
    AutoConnect1.setText(QStringLiteral("Riconnessione automatica"));
    AutoConnect1.setCheckable(true);
    Info1.addAction(&Help1);
    Info1.addAction(&A1);
    Info1.addSeparator();
    Info1.addAction(&AutoConnect1);
    MainMenu1.addMenu(&N1);
    MainMenu1.addMenu(&Info1);
    connect(&Italiano1, &QAction::triggered, this, Guarded([this] { Italiano1Click(); }));
    connect(&Inglese1, &QAction::triggered, this, Guarded([this] { Inglese1Click(); }));
    connect(&Help1, &QAction::triggered, this, Guarded([this] { Help1Click(); }));
    connect(&A1, &QAction::triggered, this, Guarded([this] { A1Click(); }));
    connect(&AutoConnect1, &QAction::triggered, this, Guarded([this] { AutoConnect1Click(); }));

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this); // owned by the window
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, Guarded([this] { FormHelp(); }));

    connect(&ShapeBOARD, &TShape::MouseDown, this,
            [this](Qt::MouseButton) { ShapeBOARDMouseDown(); });
    connect(&SpeedButton6, &QPushButton::clicked, this, Guarded([this] { SpeedButton6Click(); }));
    connect(&SpeedButton7, &QPushButton::clicked, this, Guarded([this] { SpeedButton7Click(); }));
    connect(&SpeedButton9, &QPushButton::clicked, this, Guarded([this] { SpeedButton9Click(); }));
    connect(&SpeedButton10, &QPushButton::clicked, this, Guarded([this] { SpeedButton10Click(); }));
    connect(&SpeedButton11, &QPushButton::clicked, this, Guarded([this] { SpeedButton11Click(); }));
    auto* identification = new DoubleClickAction(this, [this] { Edit2DblClick(); }); // owned
    identification->Watch(Edit2);
    identification->Watch(Edit3);
    ConnectStoreAndRead(); // "Memorizza dati", "Leggi parametri" and their timers
    // Only a selection by the user runs the change handlers.
    connect(&ComboBox1, &QComboBox::activated, this, Guarded([this](int) { ComboBox1Change(); }));
    connect(&ComboBox2, &QComboBox::activated, this, Guarded([this](int) { ComboBox2Change(); }));

    FormCreate();
    TimerConnect.start();

    // Created after a language switch: take the active language's texts now.
    TTranslation::Global().ApplyTo(*this);
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::FormCreate() {
    // 1. Hints: lime, shown for 15 seconds.
    SetApplicationHints(VextorColors::Lime, 15000);
    // 2. 1024 x 768 outside, single border, minimise only.
    SetBorderIcons(biMinimize);
    SetClientSize(OuterWidth, OuterHeight);
    // 3. Panels and buttons.
    PlaceFixedControls();
    // 4. On a 1024 x 768 screen the window covers the desktop's panels.
    HideTaskbar(*this);
    // 5. The 32 label and box pairs.
    CreateSlotControls();
    // 6. Batch and serial number.
    PlaceIdentification();
    // 7. The first showing still has to read the settings.
    FirstShow = 1;
}

void TMainForm::PlaceFixedControls() {
    const int menuHeight = MainMenu1.sizeHint().height();
    MainMenu1.setGeometry(0, 0, OuterWidth, menuHeight);
    Client.setObjectName(QStringLiteral("Client"));
    Client.setGeometry(0, menuHeight, OuterWidth, OuterHeight - menuHeight);
    const int clientHeight = Client.height();

    // Top strip: lamp, link state, port, "Connetti", search progress, clock.
    SetupPanel(PanelTop, "PanelTop", QRect(0, 0, OuterWidth, 49));
    SetPanelColor(PanelTop, VextorColors::White);
    ShapeBOARD.setObjectName(QStringLiteral("ShapeBOARD"));
    ShapeBOARD.setGeometry(8, 10, 15, 15);
    ShapeBOARD.SetBrushColor(VextorColors::Silver);
    SetupLabel(Label1, "Label1", QStringLiteral("-----"), QPoint(34, 12));
    SetupLabel(Label3, "Label3", QStringLiteral("-----"), QPoint(8, 31));
    SetupButton(SpeedButton9, "SpeedButton9", "Connetti", QRect(88, 9, 129, 31));
    ProgressBarCOM.setObjectName(QStringLiteral("ProgressBarCOM"));
    ProgressBarCOM.setGeometry(238, 9, 402, 33);
    ProgressBarCOM.SetMaximum(10);
    ProgressBarCOM.SetStep(10);
    SetupPanel(PanelOra, "PanelOra", QRect(782, 7, 225, 35));
    SetPanelColor(PanelOra, VextorColors::SkyBlue);
    PanelOra.setFont(Tahoma(18, true));

    // Bottom strip: picture and the three commands.
    SetupPanel(PanelBottom, "PanelBottom", QRect(0, clientHeight - 75, OuterWidth, 75));
    SetPanelColor(PanelBottom, VextorColors::White);
    Image1.setObjectName(QStringLiteral("Image1"));
    Image1.setGeometry(8, 5, 174, 66);
    Image1.setPixmap(ProductPicture(174, 66));
    const QFont commandFont = Tahoma(16);
    SetupButton(SpeedButton6, "SpeedButton6", "Grafico", QRect(464, 8, 176, 41));
    SetupButton(SpeedButton2, "SpeedButton2", "Leggi parametri", QRect(646, 8, 176, 41));
    SetupButton(SpeedButton7, "SpeedButton7", "Chiudi", QRect(828, 8, 176, 41));

    // The four panels, placed from the window's outer height.
    SetupPanel(Panel2, "Panel2", QRect(10, 55, 220, height() - 240));
    SetupPanel(Panel4, "Panel4",
               QRect(Panel2.x() + Panel2.width() + 10, 55, 380, Panel2.height() / 2 - 5));
    SetupPanel(
        Panel6, "Panel6",
        QRect(Panel4.x(), Panel4.y() + Panel4.height() + 10, Panel4.width(), Panel4.height()));
    SetupPanel(Panel8, "Panel8",
               QRect(Panel4.x() + Panel4.width() + 10, 55, Panel4.width(), Panel4.height() - 80));
    SetupPanel(
        Panel10, "Panel10",
        QRect(Panel8.x(), Panel8.y() + Panel8.height() + 10, Panel4.width(), Panel4.height()));
    SetupHeader(Panel3, "Panel3", "DATI SENSORE");
    SetupHeader(Panel5, "Panel5", "TIPO USCITA");
    SetupHeader(Panel7, "Panel7", "CARATTERISTICHE DEL CONDOTTO");
    SetupHeader(Panel9, "Panel9", "PRESSIONE DI ESERCIZIO [ Bar ass. ]");
    SetupHeader(Panel11, "Panel11", "FATTORE DI PROFILO");

    ComboBox1.setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1.addItems({QStringLiteral("Velocità Flusso [mt/sec]"),
                        QStringLiteral("Portata Massica [Kg/h]"),
                        QStringLiteral("Portata Volumetrica [mc/h]"),
                        QStringLiteral("Portata Volumetrica [Nmc/h]")});
    ComboBox1.setToolTip(QStringLiteral("P05 Tipo uscita"));
    ComboBox1.setFont(Tahoma(24));
    SetBoxColor(ComboBox1, VextorColors::White);
    ComboBox1.resize(305, ComboBox1.sizeHint().height());
    ComboBox1.setCurrentIndex(0);

    ComboBox2.setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2.addItems({QStringLiteral("Cilindro"), QStringLiteral("Quadrato")});
    ComboBox2.setFont(Tahoma(13));
    ComboBox2.setGeometry(10, 40, 218, 24);
    ComboBox2.setCurrentIndex(0);
    for (QComboBox* box : {&ComboBox1, &ComboBox2}) {
        box->setEditable(false);
        box->setFocusPolicy(Qt::StrongFocus); // the wheel gives no focus (see eventFilter)
        box->installEventFilter(this);
        box->view()->installEventFilter(this); // the open list searches by typed text too
    }

    LabelUnit.setObjectName(QStringLiteral("LabelUnit"));
    LabelUnit.setFont(Tahoma(24));
    QPalette blue = LabelUnit.palette();
    blue.setColor(QPalette::WindowText, VextorColors::Blue);
    LabelUnit.setPalette(blue);
    for (QLabel* unit : {&Label4, &Label5}) {
        unit->setFont(Tahoma(14));
        QPalette black = unit->palette();
        black.setColor(QPalette::WindowText, VextorColors::Black);
        unit->setPalette(black);
    }
    Label4.setObjectName(QStringLiteral("Label4"));
    Label5.setObjectName(QStringLiteral("Label5"));

    // Store, configuration files, progress and message strip below the sensor data panel.
    const int row = Panel2.y() + Panel2.height() + 5;
    SetupButton(SpeedButton8, "SpeedButton8", "Memorizza dati", QRect(Panel2.x(), row, 257, 47));
    SpeedButton8.setEnabled(false); // nothing to store yet
    SetupButton(SpeedButton10, "SpeedButton10", "Salva configurazione", QRect(271, row, 170, 47));
    SetupButton(SpeedButton11, "SpeedButton11", "Richiama configurazione",
                QRect(447, row, 170, 47));
    for (QPushButton* button : {&SpeedButton6, &SpeedButton2, &SpeedButton7, &SpeedButton8,
                                &SpeedButton10, &SpeedButton11})
        button->setFont(commandFont);
    SpeedButton9.setFont(Tahoma(14));
    AdvSmoothProgressBar2.setObjectName(QStringLiteral("AdvSmoothProgressBar2"));
    AdvSmoothProgressBar2.setGeometry(623, row, 199, 26);
    AdvSmoothProgressBar2.SetMaximum(4);
    StaticText1.setObjectName(QStringLiteral("StaticText1"));
    StaticText1.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1.setAlignment(Qt::AlignCenter);
    StaticText1.setGeometry(623, row + 30, 199, 17);
    SetPanelColor(StaticText1, VextorColors::White);
}

QWidget* TMainForm::ParentOf(SlotPanel panel) {
    switch (panel) {
    case SlotPanel::Panel2:
        return &Panel2;
    case SlotPanel::Panel4:
        return &Panel4;
    case SlotPanel::Panel6:
        return &Panel6;
    case SlotPanel::Panel8:
        return &Panel8;
    case SlotPanel::Panel10:
        return &Panel10;
    case SlotPanel::None:
    case SlotPanel::MainWindow:
        break;
    }
    return &Client;
}

void TMainForm::CreateSlotControls() {
    const auto make = [this](const SlotLook& look, Place place, const QString& name,
                             std::unique_ptr<QLabel>& label, std::unique_ptr<QLineEdit>& box) {
        QWidget* parent = ParentOf(look.Parent);
        label = std::make_unique<QLabel>(parent);
        label->setObjectName(QStringLiteral("%1Label").arg(name));
        label->move(place.Left, place.Top);
        if (look.LabelPx > 0) {
            label->setFont(Tahoma(look.LabelPx));
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText,
                             look.LabelBlue ? VextorColors::Blue : VextorColors::Black);
            label->setPalette(palette);
        }
        box = std::make_unique<QLineEdit>(parent);
        box->setObjectName(QStringLiteral("%1Box").arg(name));
        box->move(place.Left, BoxTop(place.Top, look.LabelPx));
        SetupBox(*box, Tahoma(look.BoxPx > 0 ? look.BoxPx : 1), look.BoxPx > 0, look.BoxColor,
                 look.BoxWidth);
        label->setVisible(look.Shown);
        box->setVisible(look.Shown);
    };

    for (int slot = 0; slot < ParamSlotCount; ++slot) {
        const auto i = static_cast<size_t>(slot);
        const SlotLook look = ParamLook(slot);
        make(look, ParamPlaces[i], QStringLiteral("Param%1").arg(slot + 1, 2, 10, QChar('0')),
             ParamLabels[i], ParamBoxes[i]);
        ParamBoxes[i]->installEventFilter(this); // the key filter
        // A tap or a double-click opens the numeric keypad for the box.
        auto* keypad = new DoubleClickAction(ParamBoxes[i].get(),
                                             Guarded([this, slot] { ParamBoxDblClick(slot); }),
                                             DoubleClickAction::Touch::Tap); // owned by the box
        keypad->Watch(*ParamBoxes[i]);
        if (slot == OutputSlot) {
            // The output type is chosen from ComboBox1, at the box's place.
            ParamBoxes[i]->hide();
            ComboBox1.move(ParamPlaces[i].Left, BoxTop(ParamPlaces[i].Top, look.LabelPx));
        }
    }
    for (int slot = 0; slot < StatusSlotCount; ++slot) {
        const auto i = static_cast<size_t>(slot);
        make(StatusLook(slot), StatusPlaces[i],
             QStringLiteral("Status%1").arg(slot + 1, 2, 10, QChar('0')), StatusLabels[i],
             StatusBoxes[i]);
        StatusBoxes[i]->setReadOnly(true);
    }

    // The unit labels beside the output quantity and beside the output range.
    const QLabel& flow = *StatusLabels[1];
    LabelUnit.move(flow.x() + 120, flow.y());
    Label4.move(ParamLabels[OutputZeroSlot]->x() + 130, ParamLabels[OutputZeroSlot]->y());
    Label5.move(ParamLabels[OutputFullSlot]->x() + 130, ParamLabels[OutputFullSlot]->y());

    // The layout of the first items until the first tick.
    ShowOutputLayout(ComboBox1.currentIndex());
    Panel6.setVisible(DuctPanelShown(ComboBox1.currentIndex()));
    ShowDuctLayout(false);
}

void TMainForm::PlaceIdentification() {
    SetupLabel(Label6, "Label6", QStringLiteral("Batch"), QPoint(700, 520));
    SetupLabel(Label7, "Label7", QStringLiteral("SN"), QPoint(850, 520));
    Edit2.setObjectName(QStringLiteral("Edit2"));
    Edit2.setText(QStringLiteral("------"));
    Edit2.setReadOnly(true);
    Edit2.setGeometry(700, 535, 121, 21);
    Edit3.setObjectName(QStringLiteral("Edit3"));
    Edit3.setText(QStringLiteral("-----"));
    Edit3.setReadOnly(true);
    Edit3.setGeometry(850, 535, 121, 21);
}

// ---- Showing and shutdown ----

void TMainForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow() {
    // 1. Settings.
    const IniFile settings(SettingsFilePath());
    const int32_t lang = settings.ReadInteger(SettingsSection, "Lang", 0);
    LanguageIndex = lang == 1 ? 1 : 0; // only two languages exist
    GatePassword = settings.ReadString(SettingsSection, "Pwd", "7053");
    DebugEnabled = settings.ReadInteger(SettingsSection, "Debug", 0);
    AutoConnect = settings.ReadInteger(SettingsSection, "AutoConnect", 0) == 1 ? 1 : 0;
    AutoConnect1.setChecked(AutoConnect == 1);
    Search.AutoReconnect = AutoConnect == 1;
    // 2, 3. Language and help file.
    TTranslation::Global().SetLanguage(LanguageIndex + 1);
    Help.SetHelpFile(QLatin1String(LanguageIndex != 0 ? HelpFileEnglish : HelpFileItalian));
    // 4. The created labels and the hints of the boxes.
    CaptionCreatedControls();
    // 5. The port search starts at the next tick of TimerConnect.
    Search.Start();
    // 6. The display tick runs from now on.
    TimerVisual.start();
    // 7. "Cilindro".
    ComboBox2.setCurrentIndex(0);
    // 8. At the first showing nothing has been edited yet.
    if (FirstShow == 1) {
        FirstShow = 0;
        Tables.DataModified = 0;
    }
    // 9. No store or read sequence is under way.
    StoreStep = 0;
    ReadStep = 0;
    // 10. Their progress bar is hidden.
    AdvSmoothProgressBar2.hide();
    // 11. The message strip says "Pronto".
    ShowMessage("Mes03", VextorColors::White);
}

void TMainForm::CaptionCreatedControls() {
    // Parameter 7 and measurement 13 take the caption of the layout on screen at once (the
    // display tick keeps them so).
    const bool square = ComboBox2.currentIndex() == 1;
    const int outputType = ComboBox1.currentIndex();
    for (int slot = 0; slot < 16; ++slot) {
        const auto i = static_cast<size_t>(slot);
        SetCaption(*ParamLabels[i], Text(ParamKey(slot, square)));
        ParamBoxes[i]->setToolTip(Q(ParamSlots[i].Hint));
        SetCaption(*StatusLabels[i], Text(StatusKey(slot, outputType)));
        StatusBoxes[i]->setToolTip(Q(StatusSlots[i].Hint));
    }
}

void TMainForm::ShowMessage(std::string_view key, const QColor& colour) {
    StaticText1.setGeometry(AdvSmoothProgressBar2.x(), AdvSmoothProgressBar2.y() + 30,
                            AdvSmoothProgressBar2.width(), 17);
    StaticText1.setWordWrap(false);
    StaticText1.setToolTip(QString());
    StaticText1.setText(Text(key));
    SetPanelColor(StaticText1, colour);
    StaticText1.show();
}

void TMainForm::ShowNotice(const QString& text, const QColor& colour) {
    TimerMes.stop();
    AdvSmoothProgressBar2.hide();
    StaticText1.setGeometry(AdvSmoothProgressBar2.x(), AdvSmoothProgressBar2.y(),
                            AdvSmoothProgressBar2.width(), 47);
    StaticText1.setWordWrap(true);
    StaticText1.setText(text);
    StaticText1.setToolTip(text);
    SetPanelColor(StaticText1, colour);
    StaticText1.show();
}

void TMainForm::EndNotice() {
    if (StaticText1.wordWrap())
        ShowMessage("Mes03", VextorColors::White);
}

void TMainForm::FormDestroy() {
    // 1. The poller uses the port and the tables: it goes first.
    Search.StopPoller();
    // 2. Then the port closes.
    Comm1.Close();
    // 3. The desktop's panels come back.
    try {
        ShowTaskbar(*this);
    } catch (...) {
        ReportException(std::current_exception());
    }
    // 4. The controls created at FormCreate go.
    for (auto* group : {&ParamLabels, &StatusLabels})
        for (auto& label : *group)
            label.reset();
    for (auto* group : {&ParamBoxes, &StatusBoxes})
        for (auto& box : *group)
            box.reset();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // "Chiudi" is the way out; the window manager's close would only hide the main window.
    event->ignore();
}

// ---- Link ----

void TMainForm::Comm1RxChar(uint32_t count) {
    ReceiveWaitingBytes(Tables, Search.ComThread(), count);
}

void TMainForm::TimerConnectTimer() {
    Search.SearchTick();
}

void TMainForm::TimerSearchTimer() {
    Search.ProbeTimeout();
    TimerSearch.stop();
}

void TMainForm::SpeedButton9Click() {
    Search.Start();
}

void TMainForm::RaiseIfLinked(uint32_t bits) {
    TComThread* poller = Search.ComThread();
    if (Tables.LinkActive == 1 && poller != nullptr)
        poller->RaiseRequest(bits);
}

// ---- Commands ----

void TMainForm::ShapeBOARDMouseDown() {
    if (DiagnoseForm == nullptr)
        return;
    DiagnoseForm->show();
    DiagnoseForm->raise();
}

void TMainForm::SpeedButton6Click() {
    if (ShowAcquisitionWindow)
        ShowAcquisitionWindow();
}

void TMainForm::SpeedButton7Click() {
    if (Tables.DataModified == 1 && !(AskExit && AskExit(Text("Mes02"))))
        return;
    if (Terminate)
        Terminate();
}

namespace {

// The configuration window in a mode. An open window takes the new mode at once, so that what
// it shows is always what its button does.
void ShowConfigWindow(int32_t mode) {
    if (SaveRecalForm == nullptr)
        return;
    SaveRecalForm->Mode = mode;
    if (SaveRecalForm->isVisible())
        SaveRecalForm->ShowMode();
    else
        SaveRecalForm->show();
    SaveRecalForm->raise();
    SaveRecalForm->activateWindow();
}

} // namespace

void TMainForm::SpeedButton10Click() {
    ShowConfigWindow(0);
}

void TMainForm::SpeedButton11Click() {
    ShowConfigWindow(1);
}

void TMainForm::Edit2DblClick() {
    if (PwdForm == nullptr)
        return;
    PwdForm->show();
    PwdForm->raise();
    PwdForm->activateWindow();
}

void TMainForm::A1Click() {
    if (InfoForm == nullptr)
        return;
    InfoForm->show();
    InfoForm->raise();
}

void TMainForm::Help1Click() {
    Help.ShowContents(this);
}

void TMainForm::FormHelp() {
    Help.ShowTopic(this, HelpContext);
}

// ---- Language ----

void TMainForm::Italiano1Click() {
    SwitchLanguage(0);
}

void TMainForm::Inglese1Click() {
    SwitchLanguage(1);
}

void TMainForm::AutoConnect1Click() {
    const int32_t value = AutoConnect == 1 ? 0 : 1;
    // The menu item shows the setting in force: it turns only once the file has it.
    AutoConnect1.setChecked(AutoConnect == 1);
    IniFile(SettingsFilePath()).WriteInteger(SettingsSection, "AutoConnect", value);
    AutoConnect = value;
    AutoConnect1.setChecked(value == 1);
    Search.AutoReconnect = value == 1;
}

void TMainForm::SwitchLanguage(int index) {
    // The choice is written first: when the file cannot be written the error goes to the user
    // and nothing else changes.
    IniFile(SettingsFilePath()).WriteInteger(SettingsSection, "Lang", index);
    LanguageIndex = index;
    TTranslation::Global().SetLanguage(index + 1);
    CaptionCreatedControls();
    Help.SetHelpFile(QLatin1String(index != 0 ? HelpFileEnglish : HelpFileItalian));
    ShowMessage("Mes03", VextorColors::White);
    // The next tick selects the output type and duct shape again in the new item lists.
    Tables.SetupReceived = 1;
}

void TMainForm::Retranslate() {
    for (QLabel* label : {&Label1, &Label3, &Label6, &Label7})
        label->adjustSize();
}
