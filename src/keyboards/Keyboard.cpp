#include "keyboards/Keyboard.h"

#include "model/Format.h"
#include "platform/Convert.h"
#include "platform/Regional.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QStyle>

#include <array>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

struct KeyPlace {
    QPushButton TKeyBoardForm::*Key;
    const char* Name;
    const char* Caption;
    int Left, Top, Width, Height;
};

constexpr std::array<KeyPlace, 14> CharacterKeys{{
    {&TKeyBoardForm::Button7, "Button7", "7", 8, 46, 57, 57},
    {&TKeyBoardForm::Button8, "Button8", "8", 66, 46, 57, 57},
    {&TKeyBoardForm::Button9, "Button9", "9", 124, 46, 57, 57},
    {&TKeyBoardForm::Button4, "Button4", "4", 8, 104, 57, 57},
    {&TKeyBoardForm::Button5, "Button5", "5", 66, 104, 57, 57},
    {&TKeyBoardForm::Button6, "Button6", "6", 124, 104, 57, 57},
    {&TKeyBoardForm::Button1, "Button1", "1", 8, 162, 57, 57},
    {&TKeyBoardForm::Button2, "Button2", "2", 66, 162, 57, 57},
    {&TKeyBoardForm::Button3, "Button3", "3", 124, 162, 57, 57},
    {&TKeyBoardForm::Button0, "Button0", "0", 8, 220, 57, 57},
    {&TKeyBoardForm::ButtonMinus, "ButtonMinus", "-", 66, 220, 57, 57},
    {&TKeyBoardForm::ButtonComma, "ButtonComma", ".", 124, 220, 57, 57},
    {&TKeyBoardForm::Button2P, "Button2P", ":", 8, 278, 57, 57},
    {&TKeyBoardForm::ButtonCANC, "ButtonCANC", "C", 66, 278, 115, 57},
}};

constexpr std::array<double, 5> Scale{1.0, 0.1, 0.01, 0.001, 0.0001};

// A whole-number entry: text that is no whole number counts as 0; a whole number beyond 32 bits
// counts as the farthest value of its sign, so the clamping brings it to the nearer limit.
int32_t WholeNumber(const std::string& entry) {
    if (const std::optional<int32_t> value = TryStrToInt(entry))
        return *value;
    const size_t digits = entry.size() > 0 && entry[0] == '-' ? 1 : 0;
    if (entry.size() == digits ||
        entry.find_first_not_of("0123456789", digits) != std::string::npos)
        return 0;
    return digits == 1 ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
}

} // namespace

TKeyBoardForm::TKeyBoardForm(QWidget* parent) : TForm("TKeyBoardForm", parent) {
    setWindowTitle(QStringLiteral("Tastiera"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    SetClientSize(191, 471);

    StaticTextIns.setObjectName(QStringLiteral("StaticTextIns"));
    StaticTextIns.setGeometry(8, 7, 175, 33);
    StaticTextIns.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticTextIns.setFont(DesignFont(24));
    SetPanelColor(StaticTextIns, VextorColors::White);

    const QFont keyFont = VclFont(QStringLiteral("MS Sans Serif"), 19);
    for (const KeyPlace& k : CharacterKeys) {
        QPushButton& key = this->*k.Key;
        key.setObjectName(QString::fromLatin1(k.Name));
        key.setText(QString::fromLatin1(k.Caption));
        key.setGeometry(k.Left, k.Top, k.Width, k.Height);
        key.setFont(keyFont);
        connect(&key, &QPushButton::clicked, this, Guarded([this, &key] { Button1Click(key); }));
    }
    const QFont commandFont = VclFont(QStringLiteral("MS Sans Serif"), 16);
    ButtonOk.setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk.setText(QStringLiteral("OK"));
    ButtonOk.setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ButtonOk.setGeometry(8, 336, 173, 57);
    ButtonABORT.setObjectName(QStringLiteral("ButtonABORT"));
    ButtonABORT.setText(QStringLiteral("Abbandona"));
    ButtonABORT.setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ButtonABORT.setGeometry(8, 415, 173, 49);
    for (QPushButton* key : {&ButtonOk, &ButtonABORT}) {
        key->setFont(commandFont);
        key->setIconSize(QSize(24, 24));
    }
    for (QPushButton* key : findChildren<QPushButton*>()) {
        // The keys never take the focus: Enter and Escape reach the window, not a key.
        key->setFocusPolicy(Qt::NoFocus);
        key->setAutoDefault(false);
    }
    connect(&ButtonOk, &QPushButton::clicked, this, Guarded([this] { ButtonOkClick(); }));
    connect(&ButtonABORT, &QPushButton::clicked, this, Guarded([this] { ButtonABORTClick(); }));

    // Created after a language switch: take the active language's texts now.
    TTranslation::Global().ApplyTo(*this);
}

bool TKeyBoardForm::SetTarget(QLineEdit& target, Word& resultCell, int32_t minValue,
                              int32_t maxValue, char formatCode) {
    Target = &target;
    ResultCell = &resultCell;
    MinValue = minValue;
    MaxValue = maxValue;
    FormatCode = formatCode;
    return true;
}

void TKeyBoardForm::Open() {
    show();
    activateWindow();
}

void TKeyBoardForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TKeyBoardForm::FormShow() {
    move(ShowLeft, ShowTop);
    // The decimal key types the separator that numbers are read with.
    ButtonComma.setText(QString(QLatin1Char(DecimalSeparator())));
    Entry.clear();
    ShowEntry();
}

char TKeyBoardForm::CharacterOf(const QAbstractButton& key) const {
    if (&key == &ButtonCANC)
        return '\0';
    if (&key == &ButtonComma)
        return DecimalSeparator();
    for (const KeyPlace& k : CharacterKeys)
        if (&(this->*k.Key) == &key)
            return k.Caption[0];
    return '\0';
}

void TKeyBoardForm::Button1Click(const QAbstractButton& key) {
    const char c = CharacterOf(key);
    if (c != '\0')
        Entry.push_back(c);
    else if (&key == &ButtonCANC && !Entry.empty())
        Entry.pop_back();
    ShowEntry();
}

void TKeyBoardForm::ShowEntry() {
    StaticTextIns.setText(QString::fromLatin1(Entry.data(), static_cast<qsizetype>(Entry.size())));
}

void TKeyBoardForm::ButtonOkClick() {
    const int decimals = FormatCode & 0x0F;
    if (decimals > 4 || ResultCell == nullptr) {
        // No format to store with, or never primed: nothing changes.
        hide();
        return;
    }
    int32_t value = 0;
    if (decimals == 0) {
        value = WholeNumber(Entry);
    } else {
        // Raises EConvertError naming the entry; the handler ends here and the keypad stays open.
        const long double number = StrToFloat(Entry, DecimalSeparator());
        const std::optional<int32_t> scaled = ScaleAndTruncate(number, decimals);
        value = scaled ? *scaled
                       : (number < 0 ? std::numeric_limits<int32_t>::min()
                                     : std::numeric_limits<int32_t>::max());
    }
    if (value < MinValue)
        value = MinValue;
    if (value > MaxValue)
        value = MaxValue;
    *ResultCell = value;

    std::string text;
    if (decimals == 0) {
        text = std::to_string(value);
    } else {
        std::array<char, 64> buffer{};
        std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals,
                      static_cast<double>(value) * Scale[static_cast<size_t>(decimals)]);
        text = ApplyDecimalComma(buffer.data());
    }
    if (Target)
        Target->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    hide();
    if (Accepted)
        Accepted();
}

void TKeyBoardForm::ButtonABORTClick() {
    hide();
}

void TKeyBoardForm::keyPressEvent(QKeyEvent* event) {
    QAbstractButton* key = nullptr;
    const QString text = event->text();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        key = &ButtonOk;
        break;
    case Qt::Key_Escape:
        key = &ButtonABORT;
        break;
    case Qt::Key_Backspace:
        key = &ButtonCANC;
        break;
    default:
        if (text.size() == 1) {
            const QChar c = text.at(0);
            if (c == QLatin1Char(DecimalSeparator()))
                key = &ButtonComma;
            else if (c == QLatin1Char('-'))
                key = &ButtonMinus;
            else if (c == QLatin1Char(':'))
                key = &Button2P;
            else
                for (const KeyPlace& k : CharacterKeys)
                    if (c.isDigit() && c == QLatin1Char(k.Caption[0]))
                        key = &(this->*k.Key);
        }
        break;
    }
    if (key == nullptr) {
        TForm::keyPressEvent(event);
        return;
    }
    event->accept();
    key->click(); // the key's own handler, with its error report
}
