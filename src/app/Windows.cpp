#include "app/Windows.h"

#include "app/About.h"
#include "app/Main.h"
#include "link/Diagnose.h"

#include <memory>

TMainForm* MainForm = nullptr;
TDiagnoseForm* DiagnoseForm = nullptr;
TInfoForm* InfoForm = nullptr;

namespace {

// The owners; the globals above only point at them.
std::unique_ptr<TMainForm> g_main;
std::unique_ptr<TDiagnoseForm> g_diagnose;
std::unique_ptr<TInfoForm> g_info;

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
        // 7. SaveRecalForm, configuration save and recall: not built yet.
        // 8. PwdForm, the password window: not built yet.
        // 9. SNForm, the batch and serial number window: not built yet.
        // 10. DebugForm, the debug chart window: not built yet.
    } catch (...) {
        DestroyWindows();
        throw;
    }
}

void DestroyWindows() {
    // 10 .. 7 (not built yet).
    Destroy(g_info, InfoForm);
    // 5 (not built yet).
    Destroy(g_diagnose, DiagnoseForm);
    // 3, 2 (not built yet).
    Destroy(g_main, MainForm);
}
