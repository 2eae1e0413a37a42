#include "app/Windows.h"

#include "app/About.h"
#include "app/Main.h"
#include "config/Saverec.h"
#include "diag/Diagnose.h"
#include "ident/Pwd.h"
#include "ident/Sn.h"

#include <memory>
#include <string>

TMainForm* MainForm = nullptr;
TDiagnoseForm* DiagnoseForm = nullptr;
TInfoForm* InfoForm = nullptr;
TSaveRecalForm* SaveRecalForm = nullptr;
TPwdForm* PwdForm = nullptr;
TSNForm* SNForm = nullptr;

namespace {

// The owners; the globals above only point at them.
std::unique_ptr<TMainForm> g_main;
std::unique_ptr<TDiagnoseForm> g_diagnose;
std::unique_ptr<TInfoForm> g_info;
std::unique_ptr<TSaveRecalForm> g_saveRecal;
std::unique_ptr<TPwdForm> g_pwd;
std::unique_ptr<TSNForm> g_sn;

// The poller of the main window's current connection, if any.
TComThread* CurrentPoller() {
    return MainForm != nullptr ? MainForm->Search.ComThread() : nullptr;
}

std::string ExpectedPassword() {
    return MainForm != nullptr ? MainForm->GatePassword : std::string();
}

void OpenSerialWindow() {
    if (SNForm == nullptr)
        return;
    SNForm->show();
    SNForm->raise();
    SNForm->activateWindow();
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
        // 2. KeyBoardForm, the numeric keypad: not built yet.
        // 3. KeyBoardAlphaForm, the alphanumeric keyboard: not built yet.
        // 4. The link statistics window, on the current poller.
        Create(g_diagnose, DiagnoseForm, MainForm->Tables, []() -> const TComThread* {
            return MainForm != nullptr ? MainForm->Search.ComThread() : nullptr;
        });
        // 5. GraficoForm, the acquisition chart window: not built yet.
        // 6. The About window, beside the main window.
        Create(g_info, InfoForm, static_cast<QWidget*>(MainForm));
        // 7. Configuration save and recall, beside the main window, on its tables.
        Create(g_saveRecal, SaveRecalForm, MainForm->Tables, CurrentPoller,
               static_cast<QWidget*>(MainForm));
        // 8. The password gate: the main window's password, then the batch and serial number
        // window.
        Create(g_pwd, PwdForm, ExpectedPassword, OpenSerialWindow);
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
        // 10. DebugForm, the debug chart window: not built yet.
    } catch (...) {
        DestroyWindows();
        throw;
    }
}

void DestroyWindows() {
    // 10 (not built yet).
    if (MainForm != nullptr) {
        MainForm->FillFromInfo = {};
        MainForm->Replies.SerialWindowVisible = {};
    }
    Destroy(g_sn, SNForm);
    Destroy(g_pwd, PwdForm);
    Destroy(g_saveRecal, SaveRecalForm);
    Destroy(g_info, InfoForm);
    // 5 (not built yet).
    Destroy(g_diagnose, DiagnoseForm);
    // 3, 2 (not built yet).
    Destroy(g_main, MainForm);
}
