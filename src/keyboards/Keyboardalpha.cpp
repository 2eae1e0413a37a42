#include "keyboards/Keyboardalpha.h"

#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QStyle>

namespace {

struct Place {
    int Left;
    int Top;
};

// Where each letter key lies, by the letter it types in lower case.
Place LetterPlace(char letter) {
    static constexpr std::string_view rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static constexpr int firstLeft[] = {8, 28, 56};
    for (int row = 0; row < 3; ++row) {
        const size_t at = rows[row].find(letter);
        if (at != std::string_view::npos)
            return {firstLeft[row] + 58 * static_cast<int>(at), 48 + 58 * row};
    }
    return {0, 0};
}

} // namespace

TKeyBoardAlphaForm::TKeyBoardAlphaForm(QWidget* parent) : TForm("TKeyBoardAlphaForm", parent) {
    setWindowTitle(QStringLiteral("Tastiera alfanumerica"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    SetClientSize(789, 376);

    StaticTextIns.setObjectName(QStringLiteral("StaticTextIns"));
    StaticTextIns.setGeometry(8, 9, 525, 33);
    StaticTextIns.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticTextIns.setFont(DesignFont(24));
    SetPanelColor(StaticTextIns, VextorColors::White);

    const QFont keyFont = VclFont(QStringLiteral("MS Sans Serif"), 19);
    auto key = [&](QPushButton& k, const QString& name, const QString& caption, int left, int top,
                   int width = 57, int height = 57) {
        k.setObjectName(name);
        k.setText(caption);
        k.setGeometry(left, top, width, height);
        k.setFont(keyFont);
        connect(&k, &QPushButton::clicked, this, Guarded([this, &k] { Button1Click(k); }));
    };
    for (size_t n = 0; n < SpeedButton.size(); ++n) {
        SpeedButton[n] = std::make_unique<QPushButton>(this);
        const char letter = Letters[n];
        const Place place = LetterPlace(letter);
        key(*SpeedButton[n], QStringLiteral("SpeedButton%1").arg(n + 1),
            QString(QLatin1Char(letter)), place.Left, place.Top);
    }
    // The digit block: 7 8 9 / 4 5 6 / 1 2 3, then 0 twice as wide.
    for (int digit = 0; digit < 10; ++digit) {
        auto& k = Button[static_cast<size_t>(digit)];
        k = std::make_unique<QPushButton>(this);
        const int row = digit == 0 ? 3 : 2 - (digit - 1) / 3;
        const int column = digit == 0 ? 0 : (digit - 1) % 3;
        key(*k, QStringLiteral("Button%1").arg(digit), QString::number(digit), 608 + 58 * column,
            48 + 58 * row, digit == 0 ? 115 : 57);
    }
    key(SpeedButtonUS, QStringLiteral("SpeedButtonUS"), QStringLiteral("_"), 462, 164);
    key(SpeedButton27, QStringLiteral("SpeedButton27"), QStringLiteral("Space"), 8, 222, 281, 56);
    key(ButtonCANC, QStringLiteral("ButtonCANC"), QStringLiteral("Canc"), 290, 222, 113);
    key(SpeedButtonMinus, QStringLiteral("SpeedButtonMinus"), QStringLiteral("-"), 724, 222);

    SpeedButton28.setObjectName(QStringLiteral("SpeedButton28"));
    SpeedButton28.setText(QStringLiteral("Caps Lock"));
    SpeedButton28.setGeometry(405, 222, 182, 57);
    SpeedButton28.setFont(keyFont);
    connect(&SpeedButton28, &QPushButton::clicked, this, Guarded([this] { SpeedButton28Click(); }));
    Shape1.setObjectName(QStringLiteral("Shape1"));
    Shape1.setGeometry(560, 230, 19, 19);
    Shape1.setFrameStyle(QFrame::Box | QFrame::Plain);
    SetPanelColor(Shape1, VextorColors::Silver);
    Shape1.raise();                                        // over the caps lock key
    Shape1.setAttribute(Qt::WA_TransparentForMouseEvents); // a touch on it is the key's

    const QFont commandFont = VclFont(QStringLiteral("MS Sans Serif"), 16);
    ButtonABORT.setObjectName(QStringLiteral("ButtonABORT"));
    ButtonABORT.setText(QStringLiteral("Abbandona"));
    ButtonABORT.setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ButtonABORT.setGeometry(437, 309, 169, 57);
    ButtonOk.setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk.setText(QStringLiteral("OK"));
    ButtonOk.setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    ButtonOk.setGeometry(612, 309, 169, 57);
    for (QPushButton* k : {&ButtonOk, &ButtonABORT}) {
        k->setFont(commandFont);
        k->setIconSize(QSize(24, 24));
    }
    for (QPushButton* k : findChildren<QPushButton*>()) {
        // The keys never take the focus: Enter and Escape reach the window, not a key.
        k->setFocusPolicy(Qt::NoFocus);
        k->setAutoDefault(false);
    }
    connect(&ButtonOk, &QPushButton::clicked, this, Guarded([this] { ButtonOkClick(); }));
    connect(&ButtonABORT, &QPushButton::clicked, this, Guarded([this] { ButtonABORTClick(); }));

    // Created after a language switch: take the active language's texts now.
    TTranslation::Global().ApplyTo(*this);
}

void TKeyBoardAlphaForm::SetTarget(QLineEdit& target, int32_t maxLength, bool masked) {
    Target = &target;
    MaxLength_ = maxLength;
    masked_ = masked;
    ShowEntry();
}

void TKeyBoardAlphaForm::Open() {
    show();
    activateWindow();
}

void TKeyBoardAlphaForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TKeyBoardAlphaForm::FormShow() {
    move(ShowLeft, ShowTop);
    Entry.clear();
    TypedCount_ = 0;
    CapsOn_ = 0;
    ShowCase();
    ShowEntry();
}

void TKeyBoardAlphaForm::SpeedButton28Click() {
    CapsOn_ = CapsOn_ != 0 ? 0 : 1;
    ShowCase();
}

void TKeyBoardAlphaForm::ShowCase() {
    SetPanelColor(Shape1, CapsOn_ != 0 ? QColor(0, 255, 0) : VextorColors::Silver);
    const size_t offset = CapsOn_ != 0 ? SpeedButton.size() : 0;
    for (size_t n = 0; n < SpeedButton.size(); ++n)
        SpeedButton[n]->setText(QString(QLatin1Char(Letters[n + offset])));
}

char TKeyBoardAlphaForm::CharacterOf(const QAbstractButton& key) const {
    const size_t offset = CapsOn_ != 0 ? SpeedButton.size() : 0;
    for (size_t n = 0; n < SpeedButton.size(); ++n)
        if (SpeedButton[n].get() == &key)
            return Letters[n + offset];
    for (size_t digit = 0; digit < Button.size(); ++digit)
        if (Button[digit].get() == &key)
            return static_cast<char>('0' + digit);
    if (&key == &SpeedButtonUS)
        return '_';
    if (&key == &SpeedButtonMinus)
        return '-';
    if (&key == &SpeedButton27)
        return ' ';
    return '\0'; // "Canc"
}

void TKeyBoardAlphaForm::Button1Click(const QAbstractButton& key) {
    Press(CharacterOf(key));
}

void TKeyBoardAlphaForm::Press(char character) {
    const bool canc = character == '\0';
    if (canc && TypedCount_ > 0)
        --TypedCount_;
    if (TypedCount_ < MaxLength_) {
        if (!canc) {
            ++TypedCount_;
            Entry.push_back(character);
        } else if (!Entry.empty()) {
            Entry.pop_back();
        }
    }
    ShowEntry();
}

void TKeyBoardAlphaForm::ShowEntry() {
    const auto length = static_cast<qsizetype>(Entry.size());
    StaticTextIns.setText(masked_ ? QString(length, QLatin1Char('*'))
                                  : QString::fromLatin1(Entry.data(), length));
}

void TKeyBoardAlphaForm::ButtonOkClick() {
    hide();
    if (!Target)
        return;
    // The typed text itself, not the display: a secret entry is shown as stars.
    Target->setText(QString::fromLatin1(Entry.data(), static_cast<qsizetype>(Entry.size())));
    // Back to the box the text went into.
    Target->window()->activateWindow();
    Target->setFocus(Qt::OtherFocusReason);
}

void TKeyBoardAlphaForm::ButtonABORTClick() {
    hide();
}

void TKeyBoardAlphaForm::keyPressEvent(QKeyEvent* event) {
    QAbstractButton* command = nullptr;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        command = &ButtonOk;
        break;
    case Qt::Key_Escape:
        command = &ButtonABORT;
        break;
    case Qt::Key_Backspace:
        command = &ButtonCANC;
        break;
    default:
        break;
    }
    if (command != nullptr) {
        event->accept();
        command->click();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1) {
        const char c = text.at(0).toLatin1();
        const bool letter = c != '\0' && Letters.find(c) != std::string_view::npos;
        const bool other = (c >= '0' && c <= '9') || c == ' ' || c == '_' || c == '-';
        if (letter || other) {
            event->accept();
            Press(c);
            return;
        }
    }
    TForm::keyPressEvent(event);
}
