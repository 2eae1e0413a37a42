// Pictures of the numeric keypad and the alphanumeric keyboard open over the main window, On-Line
// with the simulated sensor, for the README. Renders offscreen: each window is grabbed and drawn
// at its place with a plain title bar. Usage: vextor-keyboard-shots <docs folder> [it|en]
#include "app/Main.h"
#include "SensorSim.h"
#include "app/Application.h"
#include "app/Windows.h"
#include "config/Saverec.h"
#include "keyboards/Keyboard.h"
#include "keyboards/Keyboardalpha.h"
#include "platform/AppPaths.h"
#include "runtime/Translation.h"

#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int TitleHeight = 22;

// A window as the screen shows it: a title bar with its caption over its client area.
void DrawWindow(QPainter& painter, QWidget& window, QPoint clientTopLeft) {
    const QPixmap client = window.grab();
    const QRect title(clientTopLeft.x(), clientTopLeft.y() - TitleHeight, client.width(),
                      TitleHeight);
    painter.fillRect(title, QColor(0, 84, 166));
    painter.setPen(Qt::white);
    painter.setFont(BaseFont());
    painter.drawText(title.adjusted(6, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(clientTopLeft, client);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(title.united(QRect(clientTopLeft, client.size())).adjusted(0, 0, -1, -1));
}

void Click(QWidget& key) {
    QTest::mouseClick(&key, Qt::LeftButton);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vextor-keyboard-shots <docs folder> [it|en]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const std::filesystem::path docs = argv[1];
    const std::string language = argc > 2 ? argv[2] : "it";
    const std::string suffix = argc > 2 ? "-" + language : "";

    QTemporaryDir folder;
    const std::filesystem::path work = folder.path().toStdString();
    SetExecutablePathOverride(work / "vextor-config");
    SensorSimulator::Options options;
    options.LinkPath = (work / "sensor").string();
    SensorSimulator sensor(options);
    std::ofstream(work / "vextor-config.INI", std::ios::binary)
        << "[Vextor]\r\nLang=" << (language == "en" ? 1 : 0) << "\r\nPortComm=" << options.LinkPath
        << "\r\n";

    CreateWindows();
    TMainForm& main = *MainForm;
    main.show();
    const bool online = QTest::qWaitFor(
        [&] { return main.Tables.LinkActive == 1 && !main.ParamBoxes[9]->text().isEmpty(); },
        30000);
    QTest::qWait(1500); // a display tick with the measurements
    if (!online)
        std::fprintf(stderr, "the simulated sensor did not answer\n");

    // The keypad, opened on the pressure box with 2.5 typed.
    main.ParamBoxDblClick(9);
    for (QPushButton* key :
         {&KeyBoardForm->Button2, &KeyBoardForm->ButtonComma, &KeyBoardForm->Button5})
        Click(*key);
    {
        QPixmap shot = main.grab();
        QPainter painter(&shot);
        DrawWindow(painter, *KeyBoardForm,
                   QPoint(TKeyBoardForm::ShowLeft, TKeyBoardForm::ShowTop + TitleHeight));
        painter.end();
        shot.save(QString::fromStdString((docs / ("keypad" + suffix + ".png")).string()));
    }
    KeyBoardForm->ButtonABORTClick();

    // The keyboard, opened on the name box of the save window with a name typed.
    main.SpeedButton10Click();
    SaveRecalForm->OpenKeyboard(SaveRecalForm->Edit1, TSaveRecalForm::ListNameLength, false);
    for (const char* name : {"SpeedButton19", "SpeedButton3", "SpeedButton28", "SpeedButton1",
                             "SpeedButtonUS", "Button1"})
        Click(*KeyBoardAlphaForm->findChild<QPushButton*>(QString::fromLatin1(name)));
    {
        QPixmap shot = main.grab();
        QPainter painter(&shot);
        const QPoint save = SaveRecalForm->pos() - main.pos();
        DrawWindow(painter, *SaveRecalForm, save + QPoint(0, TitleHeight));
        DrawWindow(painter, *KeyBoardAlphaForm,
                   QPoint(TKeyBoardAlphaForm::ShowLeft, TKeyBoardAlphaForm::ShowTop + TitleHeight));
        painter.end();
        shot.save(QString::fromStdString((docs / ("keyboard" + suffix + ".png")).string()));
    }
    DestroyWindows();
    SetExecutablePathOverride({});
    return online ? 0 : 1;
}
