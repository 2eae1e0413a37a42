#pragma once
// The numeric keypad: a small stay-on-top window with large keys for typing one number on a
// touch screen. The caller primes it (SetTarget) with the box that shows the value, the cell that
// receives it, the limits and the format code, then shows it. OK converts the entry to a scaled
// integer (the value times 10^d, d the low four bits of the format code), clamps it to the
// limits, stores it in the cell, writes it back into the box with d decimals and the regional
// separator, and closes; "Abbandona" closes and changes nothing.
//
// Every showing starts with an empty entry; the priming stays until the next SetTarget. While the
// keypad is the active window the physical keyboard works too: digits, the regional decimal
// separator, "-" and ":" type, Backspace is "C", Enter is OK and Escape is "Abbandona".
#include "model/SharedValue.h"
#include "runtime/Form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <cstdint>
#include <functional>
#include <string>

class QKeyEvent;
class QShowEvent;

class TKeyBoardForm : public TForm {
public:
    static constexpr int ShowLeft = 600;
    static constexpr int ShowTop = 10;

    explicit TKeyBoardForm(QWidget* parent = nullptr);

    // Primes the keypad: the box that shows the value, the cell that receives the scaled integer,
    // the limits in scaled units and the format code. Shows nothing, keeps the entry; the box and
    // the cell must outlive the next OK (a box that is gone by then is left alone). True.
    bool SetTarget(QLineEdit& target, Word& resultCell, int32_t minValue, int32_t maxValue,
                   char formatCode);
    // Shows the keypad non-modally, in front, as the active window.
    void Open();

    // On showing: at its place, with an empty entry.
    void FormShow();
    // A character key or "C": appends the key's character to the entry, or removes the last one.
    void Button1Click(const QAbstractButton& key);
    // OK: converts, clamps, stores, shows and closes. Raises EConvertError for a decimal entry
    // that does not convert: nothing is stored and the keypad stays open with its entry.
    void ButtonOkClick();
    // "Abbandona": closes; entry, box and cell stay as they are.
    void ButtonABORTClick();

    // The caller's notice that OK changed its box and cell.
    std::function<void()> Accepted;

    QLabel StaticTextIns{this};
    QPushButton Button7{this};
    QPushButton Button8{this};
    QPushButton Button9{this};
    QPushButton Button4{this};
    QPushButton Button5{this};
    QPushButton Button6{this};
    QPushButton Button1{this};
    QPushButton Button2{this};
    QPushButton Button3{this};
    QPushButton Button0{this};
    QPushButton ButtonMinus{this};
    QPushButton ButtonComma{this};
    QPushButton Button2P{this};
    QPushButton ButtonCANC{this};
    QPushButton ButtonOk{this};
    QPushButton ButtonABORT{this};

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The character a key types; '\0' for "C".
    char CharacterOf(const QAbstractButton& key) const;
    void ShowEntry();

    QPointer<QLineEdit> Target;
    Word* ResultCell = nullptr;
    int32_t MinValue = 0;
    int32_t MaxValue = 0;
    char FormatCode = 0;
    std::string Entry;
};
