#pragma once
// The application's windows: one instance of each window class, created at start-up in a fixed
// order (the main window first) and destroyed at the end in the reverse order. Windows reach each
// other through these pointers; they are null before CreateWindows and after DestroyWindows.
#include <QString>

#include <filesystem>

class TMainForm;
class TKeyBoardForm;
class TKeyBoardAlphaForm;
class TDiagnoseForm;
class TGraficoForm;
class TInfoForm;
class TSaveRecalForm;
class TPwdForm;
class TSNForm;
class TDebugForm;

extern TMainForm* MainForm;
extern TKeyBoardForm* KeyBoardForm;
extern TKeyBoardAlphaForm* KeyBoardAlphaForm;
extern TDiagnoseForm* DiagnoseForm;
extern TGraficoForm* GraficoForm;
extern TInfoForm* InfoForm;
extern TSaveRecalForm* SaveRecalForm;
extern TPwdForm* PwdForm;
extern TSNForm* SNForm;
extern TDebugForm* DebugForm;

// Creates the windows, all hidden. Creating the main window runs its FormCreate before the next
// window exists, so later windows may use it. If a creation raises, the windows made so far are
// destroyed again and the exception goes on to the caller.
void CreateWindows();
// Destroys the windows in the reverse order of their creation (the main window last: it holds
// the tables and the link that the others look at). Does nothing for windows that do not exist.
void DestroyWindows();
// Loads into each chart window the newest recording it left unfinished in folder (the program
// died, or was closed during an acquisition), marks every unfinished one found as recovered,
// keeps the newest recordings within their limits, and says in the main window's message strip
// what was recovered. Returns that message (empty: nothing recovered). After CreateWindows.
QString RecoverRecordings(const std::filesystem::path& folder);
// The start of the program: creates the windows, shows the main window (its first showing reads
// the settings and starts the port search) and brings back the recordings the last run left
// unfinished in the recordings folder. main() runs it before the message loop.
void StartApplication();
