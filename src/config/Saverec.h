#pragma once
// The configuration window: keeps the sensor's sixteen setup parameters (SetupWords[0..15]) in a
// file (beside the executable, or in the per-user folder when that is read-only; see AppPaths.h)
// and puts them back, onto the same sensor or another one.
//
// A configuration file is "<name>.rcp" in ConfigFolder(), an INI file written the way the
// Windows profile services write one (CR LF line ends, "key=value" with no blanks around "="), so
// that files from the Windows versions of this tool recall here and files saved here open there.
// A save into a new file writes exactly:
//
//   [RCP]
//   Date last save=<DateTimeToStr of the moment of the save>
//
//   [PAR]
//   PAR00=<SetupWords[0]>
//   ...
//   PAR15=<SetupWords[15]>
//
// A save into an existing file replaces the values of these keys and keeps every other section
// and key as it was. The whole save is one atomic replace of the file: a save that fails leaves
// the old file exactly as it was. A recall reads PAR00..PAR15 (a missing key or a value that is
// not a whole number reads as 0); nothing reads "Date last save" back.
//
// The main window sets Mode (0 save, anything else recall) and shows the window, non-modal.
#include "platform/Exception.h"
#include "runtime/Form.h"

#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <functional>

struct SensorTables;
class TComThread;
class QKeyEvent;
class QShowEvent;

// A configuration that cannot be recalled: its file is gone (deleted after the list was filled,
// or listed under a name cut short) or cannot be read. The message names the file.
class EConfigFileError : public Exception {
public:
    using Exception::Exception;
};

// A drop-down list that runs OnDropDown each time, just before its list opens.
class TDropDownComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> OnDropDown;
    void showPopup() override;
};

class TSaveRecalForm : public TForm {
public:
    // The poller of the current connection, or nullptr when there is none.
    using PollerAccess = std::function<TComThread*()>;

    static constexpr int ListNameLength = 50; // names in the recall list are cut to this

    // tables: the main window's SetupWords and flags. mainWindow: the window this one opens
    // beside (may be nullptr: it then stays where it is).
    TSaveRecalForm(SensorTables& tables, PollerAccess currentPoller, QWidget* mainWindow,
                   QWidget* parent = nullptr);

    int32_t Mode = 0; // 0 save, any other value recall; set by the opener before showing

    // On showing: 20 pixels right of and below the main window's top-left corner, then ShowMode.
    void FormShow();
    // Empties the name texts and lays the window out for Mode (the action's caption, the name
    // box of the mode). The main window calls it when it changes Mode of an open window.
    void ShowMode();

    // A character typed into the name box; returns true when it is discarded (". : ; , / \ < >").
    bool Edit1KeyPress(QKeyEvent& event);
    // Fills the recall list, each time it opens.
    void ComboBox1DropDown();
    // A character typed into the recall box: always discarded (returns true for characters).
    bool ComboBox1KeyPress(QKeyEvent& event);
    // The action: save under the typed name, or recall the picked one, and close. An empty name
    // does nothing. Raises what SaveConfig and RecallConfig raise; the window then stays open.
    void SpeedButton1Click();
    // "Abbandona": closes the window.
    void SpeedButton2Click();

    // Writes SetupWords[0..15] and the date of the save to the file of `name`. Raises
    // EIniFileException "Unable to write to <path>" when the file cannot be written (a name with
    // a character that file names may not hold on either system, a read-only file or folder, a
    // full disk); the file is then unchanged.
    void SaveConfig(const QString& name);
    // Reads the file of `name` into SetupWords[0..15] (16..31 untouched), sets DataModified and
    // SetupReceived and, while LinkActive is 1, raises the 0x20 write. Raises EConfigFileError,
    // in the active language, when the file is not there or cannot be read, or when one of PAR00
    // to PAR15 is missing, not a whole number or beyond a sensor word (-32768 to 65535; the
    // message names the file and the first such entry); nothing changes then.
    void RecallConfig(const QString& name);

    // The file of a name: ConfigFolder() / "<name>.rcp", the name in the system's 8-bit
    // encoding.
    static std::filesystem::path ConfigPath(const QString& name);
    // Whether a name can be a configuration file name on every system this tool runs on: none of
    // \ / : * ? " < > | and no control characters.
    static bool IsConfigName(const QString& name);
    // The recall list: the plain files "*.rcp" in ConfigFolder() (no folders, no hidden
    // files), in the order the folder lists them, each cut at its first "." and to 50 characters.
    static QStringList ConfigNames();

    // The clock of "Date last save". Default: the current local date and time.
    std::function<QDateTime()> Now;

    void Retranslate() override;

    // Opens the on-screen keyboard for a box: the box that receives the text, the most characters
    // it takes, and whether the text is secret. A tap or a double-click on the box calls it.
    std::function<void(QLineEdit& target, int maxLength, bool masked)> OpenKeyboard;

    QLineEdit Edit1{this};
    TDropDownComboBox ComboBox1{this};
    QPushButton SpeedButton1{this};
    QPushButton SpeedButton2{this};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    SensorTables& tables_;
    PollerAccess currentPoller_;
    QPointer<QWidget> mainWindow_;
    bool showsSave_ = true; // the mode the window was last laid out for
};
