#include "config/Saverec.h"

#include "link/Comthread.h"
#include "model/SensorTables.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/Regional.h"
#include "runtime/DoubleClickAction.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QShowEvent>
#include <QStyle>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* DateSection = "RCP";
constexpr const char* DateKey = "Date last save";
constexpr const char* ParamSection = "PAR";
// What one sensor word can hold, read signed or unsigned.
constexpr int32_t SensorWordMin = -32768;
constexpr int32_t SensorWordMax = 65535;

// "PAR00" .. "PAR15".
std::string ParamKey(int entry) {
    char key[16];
    std::snprintf(key, sizeof key, "PAR%02d", entry);
    return key;
}

QString PathText(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

enum class ReadOutcome { Ok, Missing, Unreadable };

// The whole text of a configuration file. Anything that is not a plain file in the name's place
// (a folder, a FIFO) counts as missing; it is never opened.
ReadOutcome ReadConfigText(const fs::path& path, std::string& text) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return ReadOutcome::Missing;
    if (ec)
        return ReadOutcome::Unreadable;
    if (!fs::is_regular_file(status))
        return ReadOutcome::Missing;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ReadOutcome::Unreadable;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? ReadOutcome::Unreadable : ReadOutcome::Ok;
}

} // namespace

void TDropDownComboBox::showPopup() {
    if (OnDropDown)
        OnDropDown();
    QComboBox::showPopup();
}

TSaveRecalForm::TSaveRecalForm(SensorTables& tables, PollerAccess currentPoller,
                               QWidget* mainWindow, QWidget* parent)
    : TForm("TSaveRecalForm", parent), Now([] { return QDateTime::currentDateTime(); }),
      tables_(tables), currentPoller_(std::move(currentPoller)), mainWindow_(mainWindow) {
    setWindowTitle(QStringLiteral("Salva o richiama configurazione"));
    SetBorderIcons(biSystemMenu);
    SetClientSize(377, 174);

    const QFont nameFont = DesignFont(16);
    Edit1.setObjectName(QStringLiteral("Edit1"));
    Edit1.setFont(nameFont);
    Edit1.setGeometry(15, 16, 344, 27);
    Edit1.installEventFilter(this);
    auto* keyboard = new DoubleClickAction(&Edit1, Guarded([this] {
        if (OpenKeyboard)
            OpenKeyboard(Edit1, ListNameLength, false);
    }),
                                           DoubleClickAction::Touch::Tap); // owned by the box
    keyboard->Watch(Edit1);

    // A list with an edit part that cannot be typed into: a name is only picked from the list.
    ComboBox1.setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1.setEditable(true);
    ComboBox1.lineEdit()->setReadOnly(true);
    ComboBox1.setInsertPolicy(QComboBox::NoInsert);
    ComboBox1.setFont(nameFont);
    ComboBox1.setGeometry(15, 49, 344, 27);
    ComboBox1.installEventFilter(this);
    ComboBox1.lineEdit()->installEventFilter(this);
    ComboBox1.OnDropDown = [this] { ComboBox1DropDown(); };

    SpeedButton1.setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1.setText(Text("Mes01"));
    SpeedButton1.setGeometry(16, 96, 169, 57);
    SpeedButton2.setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2.setText(QStringLiteral("Abbandona"));
    SpeedButton2.setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    SpeedButton2.setIconSize(QSize(24, 24));
    SpeedButton2.setGeometry(191, 96, 169, 57);
    for (QPushButton* button : {&SpeedButton1, &SpeedButton2}) {
        button->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
        button->setAutoDefault(false);
    }
    // Errors of the handlers (a failed save, a recall refused) are reported by the guard.
    connect(&SpeedButton1, &QPushButton::clicked, this, Guarded([this] { SpeedButton1Click(); }));
    connect(&SpeedButton2, &QPushButton::clicked, this, Guarded([this] { SpeedButton2Click(); }));

    ShowMode();
    // Created after a language switch: take the active language's texts now.
    TTranslation::Global().ApplyTo(*this);
    Retranslate();
}

// ---- Showing ----

void TSaveRecalForm::showEvent(QShowEvent* event) {
    TForm::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSaveRecalForm::FormShow() {
    if (mainWindow_ != nullptr)
        move(mainWindow_->pos() + QPoint(20, 20));
    ShowMode();
}

void TSaveRecalForm::ShowMode() {
    Edit1.clear();
    ComboBox1.setCurrentIndex(-1); // the list itself stays until it is opened again
    ComboBox1.clearEditText();
    showsSave_ = Mode == 0;
    SpeedButton1.setText(Text(showsSave_ ? "Mes01" : "Mes02"));
    Edit1.setVisible(showsSave_);
    ComboBox1.setVisible(!showsSave_);
}

void TSaveRecalForm::Retranslate() {
    // The action follows the language of the rest of the window.
    SpeedButton1.setText(Text(showsSave_ ? "Mes01" : "Mes02"));
}

// ---- Name entry and recall list ----

bool TSaveRecalForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto& key = static_cast<QKeyEvent&>(*event);
        if (watched == &Edit1)
            return Edit1KeyPress(key);
        if (watched == &ComboBox1 || watched == ComboBox1.lineEdit())
            return ComboBox1KeyPress(key);
    }
    return TForm::eventFilter(watched, event);
}

bool TSaveRecalForm::Edit1KeyPress(QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty())
        return false;
    static const QString rejected = QStringLiteral(".:;,/\\<>");
    if (!rejected.contains(text.at(0)))
        return false;
    event.accept();
    return true;
}

bool TSaveRecalForm::ComboBox1KeyPress(QKeyEvent& event) {
    // Characters (Backspace and Enter included) never reach the edit part; the arrow keys still
    // move through the list.
    if (event.text().isEmpty())
        return false;
    event.accept();
    return true;
}

QStringList TSaveRecalForm::ConfigNames() {
    const QDir folder(PathText(ConfigFolder()));
    const QStringList files = folder.entryList({QStringLiteral("*.rcp")},
                                               QDir::Files | QDir::CaseSensitive, QDir::Unsorted);
    QStringList names;
    names.reserve(files.size());
    for (const QString& file : files) {
        QString name = file.left(file.indexOf(QLatin1Char('.')));
        if (name.size() > ListNameLength) {
            name.truncate(ListNameLength);
            if (name.back().isHighSurrogate())
                name.chop(1); // never half a character
        }
        names.append(name);
    }
    return names;
}

void TSaveRecalForm::ComboBox1DropDown() {
    const QString picked = ComboBox1.currentText();
    ComboBox1.clear();
    ComboBox1.addItems(ConfigNames());
    // Nothing is picked by opening the list.
    ComboBox1.setCurrentIndex(-1);
    ComboBox1.setEditText(picked);
}

// ---- Commands ----

void TSaveRecalForm::SpeedButton1Click() {
    if (Mode == 0) {
        const QString name = Edit1.text();
        if (name.isEmpty())
            return;
        SaveConfig(name);
    } else {
        const QString name = ComboBox1.currentText();
        if (name.isEmpty())
            return;
        RecallConfig(name);
    }
    hide();
}

void TSaveRecalForm::SpeedButton2Click() {
    hide();
}

// ---- Files ----

fs::path TSaveRecalForm::ConfigPath(const QString& name) {
    return ConfigFolder() / (QFile::encodeName(name).toStdString() + ".rcp");
}

bool TSaveRecalForm::IsConfigName(const QString& name) {
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || forbidden.contains(c))
            return false;
    return !name.isEmpty();
}

void TSaveRecalForm::SaveConfig(const QString& name) {
    const fs::path path = ConfigPath(name);
    // A name that would lead into another folder, or that Windows cannot hold, fails the way an
    // unwritable file does.
    if (!IsConfigName(name))
        throw EIniFileException("Unable to write to " + path.string());
    // All seventeen keys in one replace of the file: a save either happens whole or not at all.
    IniFile::Edit edit = IniFile(path).BeginEdit();
    edit.WriteString(DateSection, DateKey, DateTimeToStr(Now()).toLocal8Bit().toStdString());
    for (int entry = 0; entry < SensorTables::ParamCount; ++entry)
        edit.WriteInteger(ParamSection, ParamKey(entry),
                          tables_.SetupWords[static_cast<size_t>(entry)]);
    edit.Commit();
}

void TSaveRecalForm::RecallConfig(const QString& name) {
    const fs::path path = ConfigPath(name);
    std::string text;
    const ReadOutcome outcome =
        IsConfigName(name) ? ReadConfigText(path, text) : ReadOutcome::Missing;
    // Without its file every entry would read as 0, and those zeros would go to the sensor.
    if (outcome != ReadOutcome::Ok)
        throw EConfigFileError(Text(outcome == ReadOutcome::Missing ? "Mes03" : "Mes04")
                                   .arg(PathText(path))
                                   .toStdString());

    // Every file this program writes has all sixteen entries with whole numbers that a sensor
    // word can hold. A file cut short or edited by hand would otherwise put zeros or garbage into
    // the sensor's working parameters: it is refused whole, naming its first bad entry.
    std::array<int32_t, SensorTables::ParamCount> words{};
    for (int entry = 0; entry < SensorTables::ParamCount; ++entry) {
        const std::string key = ParamKey(entry);
        const std::optional<std::string> value = IniText::FindValue(text, ParamSection, key);
        const std::optional<int32_t> number = value ? IniText::ParseInteger(*value) : std::nullopt;
        if (!number || *number < SensorWordMin || *number > SensorWordMax)
            throw EConfigFileError(Text(value ? "Mes06" : "Mes05")
                                       .arg(PathText(path), QString::fromStdString(key))
                                       .toStdString());
        words[static_cast<size_t>(entry)] = *number;
    }
    for (int entry = 0; entry < SensorTables::ParamCount; ++entry)
        tables_.SetupWords[static_cast<size_t>(entry)] = words[static_cast<size_t>(entry)];
    tables_.DataModified = 1;
    tables_.SetupReceived = 1;
    if (tables_.LinkActive == 1)
        if (TComThread* poller = currentPoller_ ? currentPoller_() : nullptr)
            poller->RaiseRequest(ReqWriteSetup);
}
