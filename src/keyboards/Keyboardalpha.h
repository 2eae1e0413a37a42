#pragma once
// The alphanumeric keyboard: a stay-on-top window with letters in QWERTY rows, a digit block,
// space, underscore, minus, delete and caps lock, for typing a short text on a touch screen. The
// caller sets the box that receives the text, the most characters it takes and whether the text
// is secret, then shows it; OK copies the typed text into the box, "Abbandona" leaves the box as
// it is. Every showing starts with an empty entry, lower case and nothing typed.
//
// While the keyboard is the active window the physical keyboard works too: letters (in the case
// they are typed in), digits, blank, "_" and "-" type; Backspace is "Canc", Enter is OK and Escape
// is "Abbandona".
#include "runtime/Form.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QKeyEvent;
class QShowEvent;

class TKeyBoardAlphaForm : public TForm {
public:
    static constexpr int ShowLeft = 220;
    static constexpr int ShowTop = 120;
    // The letters of SpeedButton1..26 in lower case, then in upper case.
    static constexpr std::string_view Letters =
        "abcdefghilmnopqrstuvzwyjkxABCDEFGHILMNOPQRSTUVZWYJKX";

    explicit TKeyBoardAlphaForm(QWidget* parent = nullptr);

    // The box that receives the text on OK, the most characters that can be typed, and whether
    // the display shows "*" for each character (as a password box does). Shows nothing.
    void SetTarget(QLineEdit& target, int32_t maxLength, bool masked);
    // Shows the keyboard non-modally, in front, as the active window.
    void Open();

    // On showing: at its place, empty, lower case, nothing typed.
    void FormShow();
    // Caps lock: switches the letters between lower and upper case.
    void SpeedButton28Click();
    // A character key or "Canc".
    void Button1Click(const QAbstractButton& key);
    // OK: the typed text into the box, and close. Without a box it only closes.
    void ButtonOkClick();
    // "Abbandona": closes.
    void ButtonABORTClick();

    int32_t MaxLength() const noexcept { return MaxLength_; }
    int32_t TypedCount() const noexcept { return TypedCount_; }
    bool CapsOn() const noexcept { return CapsOn_ != 0; }

    QLabel StaticTextIns{this};
    std::array<std::unique_ptr<QPushButton>, 26> SpeedButton; // SpeedButton1 .. SpeedButton26
    std::array<std::unique_ptr<QPushButton>, 10> Button;      // Button0 .. Button9
    QPushButton SpeedButtonUS{this};
    QPushButton SpeedButton27{this}; // "Space"
    QPushButton ButtonCANC{this};
    QPushButton SpeedButton28{this}; // "Caps Lock"
    QFrame Shape1{this};             // caps lock indicator
    QPushButton SpeedButtonMinus{this};
    QPushButton ButtonABORT{this};
    QPushButton ButtonOk{this};

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A character key, or "Canc" for '\0'.
    void Press(char character);
    char CharacterOf(const QAbstractButton& key) const;
    void ShowCase();
    void ShowEntry();

    QPointer<QLineEdit> Target;
    std::string Entry;
    int32_t MaxLength_ = 0;
    int32_t TypedCount_ = 0;
    uint8_t CapsOn_ = 0;
    bool masked_ = false;
};
