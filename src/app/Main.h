#pragma once
// The main window: live measurements, the sixteen setup parameters, the output type and duct
// shape, batch and serial number, the link strip with its clock, and the command buttons.
//
// It owns the sensor's tables (`Tables`), the serial port (`Comm1`), the port search with the
// current poller (`Search`) and the timers. The display tick (`TimerVisualTimer`) is the one place
// that turns the tables into text; other windows reach the tables and flags through `MainForm`.
//
// Geometry. The window is 1024 x 768 pixels outside. The menu bar takes the top of it and the
// client area (`Client`, the parent of every control) the rest, so the client height is 768 minus
// the menu bar's height: with no window frame (a 1024 x 768 screen, where the window covers the
// whole screen, or a display without a window manager) the window is exactly 1024 x 768. All
// places below are client coordinates; the computed places use the outer height, 768.
#include "link/Comm.h"
#include "link/PortSearch.h"
#include "model/SensorTables.h"
#include "model/SlotInfo.h"
#include "runtime/Form.h"
#include "runtime/HelpViewer.h"
#include "runtime/Look.h"
#include "runtime/Shape.h"
#include "runtime/SmoothProgressBar.h"

#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QKeyEvent;

class TMainForm : public TForm {
public:
    static constexpr int OuterWidth = 1024;
    static constexpr int OuterHeight = 768;
    static constexpr int HelpContext = 200;
    static constexpr const char* SettingsSection = "Vextor";
    static constexpr const char* HelpFileItalian = "VextorHelpITA.chm";
    static constexpr const char* HelpFileEnglish = "VextorHelpENG.chm";

    // Left and top of each created label inside its parent, by slot.
    struct Place {
        int Left;
        int Top;
    };
    static constexpr std::array<Place, 16> ParamPlaces{{{10, 30},
                                                        {10, 100},
                                                        {10, 170},
                                                        {850, 590},
                                                        {10, 30},
                                                        {10, 100},
                                                        {10, 150},
                                                        {10, 80},
                                                        {10, 130},
                                                        {10, 30},
                                                        {10, 80},
                                                        {10, 180},
                                                        {220, 80},
                                                        {220, 130},
                                                        {200, 130},
                                                        {200, 395}}};
    static constexpr std::array<Place, 16> StatusPlaces{{{10, 30},
                                                         {10, 30},
                                                         {10, 100},
                                                         {10, 240},
                                                         {10, 30},
                                                         {10, 365},
                                                         {10, 240},
                                                         {220, 80},
                                                         {220, 80},
                                                         {10, 80},
                                                         {10, 80},
                                                         {220, 365},
                                                         {220, 130},
                                                         {10, 290},
                                                         {10, 340},
                                                         {850, 590}}};

    // Creates the window (FormCreate runs here). The settings file is SettingsFilePath() as it
    // is at this moment.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override; // FormDestroy

    // Life cycle.
    void FormCreate();
    void FormShow(); // also runs when the window is shown by the toolkit
    void FormDestroy();

    // Timers.
    void TimerVisualTimer();  // the display tick
    void TimerConnectTimer(); // one step of the port search
    void TimerSearchTimer();  // the probe wait is over

    // Serial port receive handler: count bytes are waiting.
    void Comm1RxChar(uint32_t count);

    // Controls.
    void ComboBox1Change(); // output type picked by the user
    void ComboBox2Change(); // duct shape picked by the user
    // A character typed into a choice box: discarded (returns true).
    bool ComboBox1KeyPress(QKeyEvent& event);
    // A character typed into parameter box `slot`; returns true when it is discarded.
    bool ParamBoxKeyPress(int slot, QKeyEvent& event);
    // A tap (touch screen) or double-click on parameter box `slot`: primes the numeric keypad
    // for the box with its code and limits, as a key press does, and opens it.
    void ParamBoxDblClick(int slot);
    // The keypad's OK changed box `slot` and its SetupWords slot: marked as typed, to be stored.
    void KeypadAccepted(int slot);
    void ShapeBOARDMouseDown(); // link statistics window
    void SpeedButton6Click();   // "Grafico"
    void SpeedButton7Click();   // "Chiudi"
    void SpeedButton9Click();   // "Connetti"
    void SpeedButton10Click();  // "Salva configurazione": the configuration window, save mode
    void SpeedButton11Click();  // "Richiama configurazione": the same window, recall mode
    void Edit2DblClick();       // batch or serial number box: the password window

    // Writing and reading the parameters.
    // "Memorizza dati": validates every parameter box, writes the valid ones to the sensor and,
    // when none visible failed, stores them in its EEPROM and starts the verification. Raises
    // EConvertError for a box whose text does not convert; the slots after it are not looked at
    // and no request goes out.
    void SpeedButton8Click();
    void TimerMemTimer(); // store sequence: read-back, then the verdict at StoreStep 4
    // "Leggi parametri": reads the parameters and the identification again.
    void SpeedButton2Click();
    void TimerMem1Timer(); // read sequence
    void TimerMesTimer();  // message strip back to "Pronto"
    // A notice longer than the usual messages (a recovered recording): the message strip takes
    // the progress bar's room as well and wraps the text, until the next message.
    void ShowNotice(const QString& text, const QColor& colour);
    // Gives the progress bar its room back from a notice ("Pronto" again).
    void EndNotice();
    // Converts the text of ParamBoxes[slot] with the decimals of code (low four bits); when the
    // scaled value lies within minimum..maximum, takes it into SetupWords[slot], shows it again
    // in its format and returns true. Otherwise (also for a scaled value beyond 32 bits) false,
    // and slot and text stay as they are. Raises EConvertError for text that does not convert.
    bool ValidateParam(int slot, int32_t minimum, char code, int32_t maximum);
    // What SetupWords[16..31] hold from a store's click until the sensor's 0x11 reply: no word
    // of the sensor widens to it, so a store is never judged on an older read-back.
    static constexpr int32_t ReadBackPending = INT32_MIN;

    // Menus.
    void Italiano1Click(); // raise EIniFileException when the settings file cannot be written
    void Inglese1Click();
    void Help1Click(); // help contents
    void FormHelp();   // F1: topic HelpContext
    void A1Click();    // About window
    // "Riconnessione automatica": switches AutoConnect and writes it to the settings file first
    // (raises EIniFileException when it cannot be written; nothing changes then).
    void AutoConnect1Click();

    void Retranslate() override;

    // ---- Data other windows use ----
    SensorTables Tables;
    TComm Comm1;

    // What the reply dispatch needs from other windows; they fill these in when they exist.
    class MainReplyHooks : public ReplyHooks {
    public:
        std::function<bool()> SerialWindowVisible;             // SNForm shown
        std::function<std::array<int32_t, 4>&()> SampleTarget; // GraficoForm's SampleWords
        std::function<void(int32_t, int32_t)> AddSampleTarget; // GraficoForm's AddSample

        bool SerialNumberWindowVisible() const override;
        std::array<int32_t, 4>& SampleWords() override;
        void AddSample(int32_t primary, int32_t secondary) override;

    private:
        std::array<int32_t, 4> ownSamples_{};
    };
    MainReplyHooks Replies;

    TPortSearch Search; // SearchStep, the poller (ComThread()), LinkStateText(), PortNote()

    int32_t LanguageIndex = 0;         // 0 Italian, 1 English
    std::string GatePassword = "7053"; // settings key Pwd
    int32_t DebugEnabled = 0;          // settings key Debug
    int32_t AutoConnect = 0;           // settings key AutoConnect: 1 searches again after a loss
    uint8_t FirstShow = 0;             // 1 from creation until the first showing
    int32_t StoreStep = 0;
    // The values validated at the last "Memorizza dati": the verdict compares the read-back with
    // these, whatever replaced SetupWords since the click.
    std::array<int32_t, SensorTables::ParamCount> StoreSnapshot{};
    int32_t ReadStep = 0;
    // The batch and serial number window's Confirmed: its OK asks for a re-read of the
    // identification at the next tick.
    bool SerialConfirmed = false;

    HelpViewer Help;

    // ---- Hooks for windows that come later, and test seams ----
    // Fills the batch and serial number window's boxes from InfoWords.
    std::function<void()> FillFromInfo;
    // Shows the acquisition chart window.
    std::function<void()> ShowAcquisitionWindow;
    // Primes the numeric keypad for a parameter box (slot, code, minimum, maximum).
    std::function<void(int slot, char code, int32_t min, int32_t max)> PrimeKeypad;
    // Shows the numeric keypad as primed last.
    std::function<void()> OpenKeypad;
    // The exit question; true for Yes. Default: a Yes/No box captioned "Vextor Config".
    std::function<bool(const QString& text)> AskExit;
    // Ends the message loop. Default: QCoreApplication::exit(0), which leaves the loop at once;
    // quit() would first try to close the windows, and the main window refuses to be closed.
    std::function<void()> Terminate;

    // ---- Controls (client coordinates) ----
    QMenuBar MainMenu1{this};
    QMenu N1{&MainMenu1};
    QAction Italiano1{&N1};
    QAction Inglese1{&N1};
    QMenu Info1{&MainMenu1};
    QAction Help1{&Info1};
    QAction A1{&Info1};
    QAction AutoConnect1{&Info1};

    QWidget Client{this};

    QLabel PanelTop{&Client};
    TShape ShapeBOARD{&PanelTop};
    QLabel Label1{&PanelTop};
    QLabel Label3{&PanelTop};
    QPushButton SpeedButton9{&PanelTop};
    TSmoothProgressBar ProgressBarCOM{&PanelTop};
    QLabel PanelOra{&PanelTop};

    QLabel PanelBottom{&Client};
    QLabel Image1{&PanelBottom};
    QPushButton SpeedButton6{&PanelBottom};
    QPushButton SpeedButton2{&PanelBottom};
    QPushButton SpeedButton7{&PanelBottom};

    QLabel Panel2{&Client};
    QLabel Panel3{&Panel2};
    QLabel LabelUnit{&Panel2};
    QLabel Panel4{&Client};
    QLabel Panel5{&Panel4};
    QComboBox ComboBox1{&Panel4};
    QLabel Label4{&Panel4};
    QLabel Label5{&Panel4};
    QLabel Panel6{&Client};
    QLabel Panel7{&Panel6};
    QComboBox ComboBox2{&Panel6};
    QLabel Panel8{&Client};
    QLabel Panel9{&Panel8};
    QLabel Panel10{&Client};
    QLabel Panel11{&Panel10};

    QPushButton SpeedButton8{&Client};
    QPushButton SpeedButton10{&Client};
    QPushButton SpeedButton11{&Client};
    TSmoothProgressBar AdvSmoothProgressBar2{&Client};
    QLabel StaticText1{&Client};
    QLabel Label6{&Client};
    QLineEdit Edit2{&Client};
    QLabel Label7{&Client};
    QLineEdit Edit3{&Client};

    QTimer TimerVisual{this};
    QTimer TimerConnect{this};
    QTimer TimerSearch{this};
    QTimer TimerMem{this};
    QTimer TimerMem1{this};
    QTimer TimerMes{this};

    // The controls created at FormCreate, one per slot. ParamBoxes[4] holds the output type's
    // value but is never shown: ComboBox1 stands in its place.
    std::array<std::unique_ptr<QLabel>, 16> ParamLabels;
    std::array<std::unique_ptr<QLineEdit>, 16> ParamBoxes;
    std::array<std::unique_ptr<QLabel>, 16> StatusLabels;
    std::array<std::unique_ptr<QLineEdit>, 16> StatusBoxes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void PlaceFixedControls();
    void CreateSlotControls();
    void PlaceIdentification();
    void CaptionCreatedControls();
    void SwitchLanguage(int index);
    void ShowMessage(std::string_view key, const QColor& colour);
    void ShowUnit(int outputType);
    void ShowOutputLayout(int outputType);
    void ShowDuctLayout(bool square);
    void RaiseIfLinked(uint32_t bits);
    void ConnectStoreAndRead();
    void PrimeKeypadFor(int slot);
    bool MarksInvalid(int slot) const; // a failed slot turns red and blocks the store
    void PaintParamBoxes(const QColor& colour);
    bool StoreVerified() const;
    QWidget* ParentOf(SlotPanel panel);
};
