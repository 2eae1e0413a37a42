#pragma once
// The link statistics window: the current poller's five counters, refreshed once a second while
// the link is up. Shown from the main window's link lamp; closing it only hides it.
#include "runtime/Form.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <functional>

struct SensorTables;
class TComThread;

class TDiagnoseForm : public TForm {
public:
    // The poller of the current connection, or nullptr when there is none.
    using PollerAccess = std::function<const TComThread*()>;

    TDiagnoseForm(SensorTables& tables, PollerAccess currentPoller, QWidget* parent = nullptr);

    // Tick of Timer1: while LinkActive is 1, writes the counters into the edit boxes; otherwise
    // the boxes keep the values of the last refresh.
    void Timer1Timer();
    // Labels size themselves to their new captions.
    void Retranslate() override;

    QLabel Label1{this};
    QLabel Label2{this};
    QLabel Label3{this};
    QLabel Label4{this};
    QLabel Label5{this};
    QLineEdit Edit1{this};
    QLineEdit Edit2{this};
    QLineEdit Edit3{this};
    QLineEdit Edit4{this};
    QLineEdit Edit5{this};
    QTimer Timer1{this};

private:
    SensorTables& tables_;
    PollerAccess currentPoller_;
};
