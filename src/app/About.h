#pragma once
// The About window: the product's picture, name and version, and "OK". Not translated.
#include "runtime/Form.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

class QShowEvent;

// The program's version as the windows show it ("Vextor Config V01.00.01").
inline constexpr char ProgramVersion[] = "01.00.01";

class TInfoForm : public TForm {
public:
    // mainWindow: the window this one opens beside (may be nullptr: it then stays where it is).
    explicit TInfoForm(QWidget* mainWindow, QWidget* parent = nullptr);

    // On showing: 20 pixels right of and below the main window's top-left corner.
    void FormShow();
    // "OK": hides the window.
    void Button1Click();

    QLabel Image1{this};
    QLabel Label1{this};
    QLabel Label2{this};
    QPushButton Button1{this};

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPointer<QWidget> mainWindow_;
};
