#include "ident/Pwd.h"

#include "runtime/DoubleClickAction.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"

#include <QShowEvent>
#include <QStyle>

#include <utility>

TPwdForm::TPwdForm(PasswordAccess expectedPassword, std::function<void()> openSerialWindow,
                   QWidget* parent)
    : TForm("TPwdForm", parent), expectedPassword_(std::move(expectedPassword)),
      openSerialWindow_(std::move(openSerialWindow)) {
    setWindowTitle(QStringLiteral("Password numeri seriali"));
    SetBorderIcons(0); // no close box: the gate is left through its two buttons
    SetClientSize(264, 107);
    move(0, 0);

    Edit1.setObjectName(QStringLiteral("Edit1"));
    Edit1.setFont(DesignFont(27));
    Edit1.setEchoMode(QLineEdit::Password);
    Edit1.setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }")); // '*'
    Edit1.setGeometry(64, 8, 121, 41);
    auto* keyboard = new DoubleClickAction(&Edit1, Guarded([this] {
        if (OpenKeyboard)
            OpenKeyboard(Edit1, PasswordLength, true);
    }),
                                           DoubleClickAction::Touch::Tap); // owned by the box
    keyboard->Watch(Edit1);

    SpeedButton1.setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1.setText(QStringLiteral("OK"));
    SpeedButton1.setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    SpeedButton1.setGeometry(8, 55, 121, 41);
    SpeedButton2.setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2.setText(QStringLiteral("Abbandona"));
    SpeedButton2.setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    SpeedButton2.setGeometry(135, 55, 121, 41);
    for (QPushButton* button : {&SpeedButton1, &SpeedButton2}) {
        // Plain buttons: Enter and Escape in the entry do nothing.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setIconSize(QSize(24, 24));
    }
    connect(&SpeedButton1, &QPushButton::clicked, this, Guarded([this] { SpeedButton1Click(); }));
    connect(&SpeedButton2, &QPushButton::clicked, this, Guarded([this] { SpeedButton2Click(); }));
}

void TPwdForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TPwdForm::FormShow() {
    Edit1.clear();
    Edit1.setFocus();
}

void TPwdForm::SpeedButton1Click() {
    if (!expectedPassword_) {
        Edit1.clear();
        return;
    }
    const std::string expected = expectedPassword_();
    const QString password =
        QString::fromLocal8Bit(expected.data(), static_cast<qsizetype>(expected.size()));
    if (Edit1.text() != password) {
        Edit1.clear();
        return;
    }
    hide();
    if (openSerialWindow_)
        openSerialWindow_();
}

void TPwdForm::SpeedButton2Click() {
    hide();
}
