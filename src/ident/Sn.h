#pragma once
// The batch and serial number window: shows the sensor's identification from InfoWords and, on
// OK, puts the typed numbers back into InfoWords and sends all sixteen entries with the 0x25
// write. Reached only through the password gate. Not translated.
//
// InfoWords: entry 0 and 1 the batch number in thousandths (high and low 16 bits), entry 2 the
// batch suffix (0..99), entry 3 the serial number (0..65535), entries 4..15 go back unchanged.
// OK limits the batch number to 0.000..99.999, the suffix to 0..99 and the serial number to
// 0..65535. A batch number that does not convert raises EConvertError naming the text, before
// anything is stored; a suffix or serial number that does not convert counts as 0.
#include "runtime/Form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdint>
#include <functional>

struct SensorTables;
class TComThread;
class QShowEvent;

class TSNForm : public TForm {
public:
    // The poller of the current connection, or nullptr when there is none.
    using PollerAccess = std::function<TComThread*()>;

    static constexpr int32_t BatchMax = 99999; // thousandths: 99.999
    static constexpr int32_t SuffixMax = 99;
    static constexpr int32_t SerialMax = 65535;

    // tables: the main window's InfoWords and LinkActive. confirmed: the flag the main window's
    // display tick reads and clears (it then reads the identification back); it is Confirmed.
    TSNForm(SensorTables& tables, PollerAccess currentPoller, bool& confirmed,
            QWidget* parent = nullptr);

    // Set by OK, cleared by "Abbandona" and by the main window once it has acted on it. The
    // close box leaves it as it is.
    bool& Confirmed;

    // On showing: FillFromInfo.
    void FormShow();
    // The three boxes from InfoWords: batch number "%.3f" with the regional separator, suffix
    // and serial number as decimal integers.
    void FillFromInfo();
    // "OK": converts, limits and stores the three numbers, raises the 0x25 write while
    // LinkActive is 1, sets Confirmed and closes. Raises EConvertError for a batch text that
    // does not convert; nothing is stored and the window stays open.
    void SpeedButton1Click();
    // "Abbandona": clears Confirmed and closes; InfoWords unchanged.
    void SpeedButton2Click();

    QLabel Label1{this};
    QLineEdit Edit1{this};
    QLabel Label2{this};
    QLineEdit Edit2{this};
    QLabel Label3{this};
    QLineEdit Edit3{this};
    QPushButton SpeedButton1{this};
    QPushButton SpeedButton2{this};

protected:
    void showEvent(QShowEvent* event) override;

private:
    SensorTables& tables_;
    PollerAccess currentPoller_;
};
