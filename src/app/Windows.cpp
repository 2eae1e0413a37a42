#include "app/Windows.h"

#include "app/About.h"
#include "app/Main.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "config/Saverec.h"
#include "diag/Diagnose.h"
#include "ident/Pwd.h"
#include "ident/Sn.h"
#include "keyboards/Keyboard.h"
#include "keyboards/Keyboardalpha.h"

#include "platform/RecordingJournal.h"
#include "platform/Regional.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"

#include <memory>
#include <string>

TMainForm* MainForm = nullptr;
TKeyBoardForm* KeyBoardForm = nullptr;
TKeyBoardAlphaForm* KeyBoardAlphaForm = nullptr;
TDiagnoseForm* DiagnoseForm = nullptr;
TGraficoForm* GraficoForm = nullptr;
TInfoForm* InfoForm = nullptr;
TSaveRecalForm* SaveRecalForm = nullptr;
TPwdForm* PwdForm = nullptr;
TSNForm* SNForm = nullptr;
TDebugForm* DebugForm = nullptr;

namespace {

// The owners; the globals above only point at them.
std::unique_ptr<TMainForm> g_main;
std::unique_ptr<TKeyBoardForm> g_keyBoard;
std::unique_ptr<TKeyBoardAlphaForm> g_keyBoardAlpha;
std::unique_ptr<TDiagnoseForm> g_diagnose;
std::unique_ptr<TGraficoForm> g_grafico;
std::unique_ptr<TInfoForm> g_info;
std::unique_ptr<TSaveRecalForm> g_saveRecal;
std::unique_ptr<TPwdForm> g_pwd;
std::unique_ptr<TSNForm> g_sn;
std::unique_ptr<TDebugForm> g_debug;

// The poller of the main window's current connection, if any.
TComThread* CurrentPoller() {
    return MainForm != nullptr ? MainForm->Search.ComThread() : nullptr;
}

std::string ExpectedPassword() {
    return MainForm != nullptr ? MainForm->GatePassword : std::string();
}

// What the chart windows read from the main window besides its tables.
ChartSources MainChartSources() {
    ChartSources sources;
    sources.OutputIndex = [] {
        return MainForm != nullptr ? MainForm->ComboBox1.currentIndex() : -1;
    };
    sources.OutputText = [] {
        return MainForm != nullptr ? MainForm->ComboBox1.currentText() : QString();
    };
    sources.SearchStep = [] { return MainForm != nullptr ? MainForm->Search.SearchStep : 0; };
    sources.PortName = [] {
        return MainForm != nullptr ? MainForm->Comm1.DeviceName() : std::string();
    };
    sources.DebugSetting = [] { return MainForm != nullptr ? MainForm->DebugEnabled : 0; };
    sources.RecordingsFolder = [] { return RecordingsFolder(); };
    return sources;
}

template <typename T> void ShowWindow(T* window) {
    if (window == nullptr)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void OpenSerialWindow() {
    ShowWindow(SNForm);
}

// The numeric keypad primed for the main window's parameter box `slot`: its OK marks the box as
// typed.
void PrimeKeypad(int slot, char code, int32_t minimum, int32_t maximum) {
    if (KeyBoardForm == nullptr || MainForm == nullptr)
        return;
    const auto i = static_cast<size_t>(slot);
    KeyBoardForm->SetTarget(*MainForm->ParamBoxes[i], MainForm->Tables.SetupWords[i], minimum,
                            maximum, code);
    KeyBoardForm->Accepted = [slot] {
        if (MainForm != nullptr)
            MainForm->KeypadAccepted(slot);
    };
}

void OpenAlphaKeyboard(QLineEdit& target, int maxLength, bool masked) {
    if (KeyBoardAlphaForm == nullptr)
        return;
    KeyBoardAlphaForm->SetTarget(target, maxLength, masked);
    KeyBoardAlphaForm->Open();
}

template <typename T, typename... Args>
void Create(std::unique_ptr<T>& owner, T*& global, Args&&... args) {
    owner = std::make_unique<T>(std::forward<Args>(args)...);
    global = owner.get();
}

template <typename T> void Destroy(std::unique_ptr<T>& owner, T*& global) {
    global = nullptr;
    owner.reset();
}

} // namespace

void CreateWindows() {
    try {
        // 1. The main window: the tables, the link, the application's main form.
        Create(g_main, MainForm);
        // 2. The numeric keypad, primed by every key press in a parameter box and opened by a
        // tap or a double-click on one.
        Create(g_keyBoard, KeyBoardForm);
        MainForm->PrimeKeypad = PrimeKeypad;
        MainForm->OpenKeypad = [] {
            if (KeyBoardForm != nullptr)
                KeyBoardForm->Open();
        };
        // 3. The alphanumeric keyboard, for the configuration name and the password.
        Create(g_keyBoardAlpha, KeyBoardAlphaForm);
        // 4. The link statistics window, on the current poller.
        Create(g_diagnose, DiagnoseForm, MainForm->Tables, []() -> const TComThread* {
            return MainForm != nullptr ? MainForm->Search.ComThread() : nullptr;
        });
        // 5. The acquisition chart window, at the main window's place. "Grafico" shows it; the
        // reply dispatch hands it the words of every 0x70 frame and adds them as a sample.
        Create(g_grafico, GraficoForm, MainForm->Tables, MainChartSources(),
               static_cast<QWidget*>(MainForm));
        MainForm->ShowAcquisitionWindow = [] { ShowWindow(GraficoForm); };
        MainForm->Replies.SampleTarget = []() -> std::array<int32_t, 4>& {
            return GraficoForm->SampleWords;
        };
        MainForm->Replies.AddSampleTarget = [](int32_t primary, int32_t secondary) {
            GraficoForm->AddSample(primary, secondary);
        };
        // 6. The About window, beside the main window.
        Create(g_info, InfoForm, static_cast<QWidget*>(MainForm));
        // 7. Configuration save and recall, beside the main window, on its tables.
        Create(g_saveRecal, SaveRecalForm, MainForm->Tables, CurrentPoller,
               static_cast<QWidget*>(MainForm));
        SaveRecalForm->OpenKeyboard = OpenAlphaKeyboard;
        // 8. The password gate: the main window's password, then the batch and serial number
        // window.
        Create(g_pwd, PwdForm, ExpectedPassword, OpenSerialWindow);
        PwdForm->OpenKeyboard = OpenAlphaKeyboard;
        // 9. Batch and serial number. Its Confirmed is the flag the main window's display tick
        // acts on; the tick also refills its boxes after a 0x15 reply, and the reply dispatch
        // leaves InfoReceived alone while it is shown.
        Create(g_sn, SNForm, MainForm->Tables, CurrentPoller, MainForm->SerialConfirmed);
        MainForm->FillFromInfo = [] {
            if (SNForm != nullptr)
                SNForm->FillFromInfo();
        };
        MainForm->Replies.SerialWindowVisible = [] {
            return SNForm != nullptr && SNForm->isVisible();
        };
        // 10. The debug chart window, shown by the acquisition window's "DEBUG".
        Create(g_debug, DebugForm, MainForm->Tables, MainChartSources(),
               static_cast<QWidget*>(MainForm));
        GraficoForm->ShowDebugWindow = [] { ShowWindow(DebugForm); };
    } catch (...) {
        DestroyWindows();
        throw;
    }
}

void DestroyWindows() {
    if (GraficoForm != nullptr)
        GraficoForm->ShowDebugWindow = {};
    Destroy(g_debug, DebugForm);
    if (MainForm != nullptr) {
        MainForm->FillFromInfo = {};
        MainForm->Replies.SerialWindowVisible = {};
        MainForm->PrimeKeypad = {};
        MainForm->OpenKeypad = {};
        MainForm->ShowAcquisitionWindow = {};
        MainForm->Replies.SampleTarget = {};
        MainForm->Replies.AddSampleTarget = {};
    }
    Destroy(g_sn, SNForm);
    Destroy(g_pwd, PwdForm);
    Destroy(g_saveRecal, SaveRecalForm);
    Destroy(g_info, InfoForm);
    Destroy(g_grafico, GraficoForm);
    Destroy(g_diagnose, DiagnoseForm);
    Destroy(g_keyBoardAlpha, KeyBoardAlphaForm);
    Destroy(g_keyBoard, KeyBoardForm);
    Destroy(g_main, MainForm);
}

QString RecoverRecordings(const std::filesystem::path& folder) {
    if (GraficoForm == nullptr || DebugForm == nullptr)
        return {};
    // Newest first: each window takes the newest it left unfinished; every one found is marked
    // recovered, so none is offered twice (older ones stay on disk with the finished ones).
    QString notice;
    bool graficoLoaded = false;
    bool debugLoaded = false;
    for (const std::filesystem::path& file : UnfinishedJournals(folder)) {
        const std::optional<Recording> recording = ReadRecording(file);
        if (recording && !recording->Samples.empty()) {
            const bool debug = recording->Header.Window == QStringLiteral("Debug");
            bool& loaded = debug ? debugLoaded : graficoLoaded;
            TChartForm& window = debug ? static_cast<TChartForm&>(*DebugForm)
                                       : static_cast<TChartForm&>(*GraficoForm);
            if (!loaded && window.LoadRecording(*recording)) {
                loaded = true;
                const QString elapsed = TChartForm::ElapsedText(window.SampleCount());
                const QDateTime start =
                    recording->Header.Start.isValid()
                        ? recording->Header.Start.toLocalTime()
                        : QDateTime::fromMSecsSinceEpoch(recording->Samples.front().TimeMs);
                // The acquisition window's recording is the one the message names first.
                if (!debug || notice.isEmpty())
                    notice = TTranslation::Global()
                                 .Text("TMainForm", debug ? "Mes08" : "Mes07")
                                 .arg(elapsed, DateTimeToStr(start));
            }
        }
        MarkRecovered(file);
    }
    PruneRecordings(folder);
    if (!notice.isEmpty() && MainForm != nullptr)
        MainForm->ShowNotice(notice, VextorColors::Yellow);
    return notice;
}

void StartApplication() {
    CreateWindows();
    MainForm->show(); // FormShow
    // A recording the last run left unfinished comes back in its window.
    RecoverRecordings(RecordingsFolder());
}
