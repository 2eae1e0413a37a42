#pragma once
// The password gate in front of the batch and serial number window. It keeps no password of its
// own: OK compares the entry with the main window's password (settings key Pwd, "7053" when the
// key is absent), exactly: same length, same characters, case and blanks count. A match closes
// the gate and opens the batch and serial number window; anything else empties the entry and
// the gate stays open, with no message and no limit on the attempts. Not translated.
#include "runtime/Form.h"

#include <QLineEdit>
#include <QPushButton>

#include <functional>
#include <string>

class QShowEvent;

class TPwdForm : public TForm {
public:
    // The expected password as the settings file holds it (8-bit, the system's encoding), read
    // at every OK.
    using PasswordAccess = std::function<std::string()>;

    // expectedPassword: the main window's password. openSerialWindow: shows the batch and serial
    // number window.
    TPwdForm(PasswordAccess expectedPassword, std::function<void()> openSerialWindow,
             QWidget* parent = nullptr);

    // On showing: empties the entry.
    void FormShow();
    // "OK": compares the entry with the password.
    void SpeedButton1Click();
    // "Abbandona": closes the gate.
    void SpeedButton2Click();

    // Opens the on-screen keyboard for a box: the box that receives the text, the most characters
    // it takes, and whether the text is secret. A tap or a double-click on the box calls it.
    std::function<void(QLineEdit& target, int maxLength, bool masked)> OpenKeyboard;
    static constexpr int PasswordLength = 16; // the most the on-screen keyboard types

    QLineEdit Edit1{this};
    QPushButton SpeedButton1{this};
    QPushButton SpeedButton2{this};

protected:
    void showEvent(QShowEvent* event) override;

private:
    PasswordAccess expectedPassword_;
    std::function<void()> openSerialWindow_;
};
