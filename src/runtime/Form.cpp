#include "runtime/Form.h"

#include "runtime/Translation.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>

#include <algorithm>

namespace {

const QString FallbackFamily = QStringLiteral("DejaVu Sans");

// Where Debian's fonts-wine puts the Windows-metric fonts.
constexpr const char* FontDirs[] = {"/usr/share/wine/fonts/", "/usr/lib/wine/fonts/"};
constexpr const char* FontFiles[] = {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"};

bool HasFamily(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

} // namespace

bool RegisterApplicationFonts() {
    static bool done = false;
    if (!done && QGuiApplication::instance() != nullptr) {
        done = true;
        for (const char* file : FontFiles) {
            for (const char* dir : FontDirs) {
                const QString path = QString::fromLatin1(dir) + QLatin1String(file);
                if (QFileInfo::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
                    break;
            }
        }
    }
    return HasFamily(QStringLiteral("Tahoma"));
}

QString FontFamily(const QString& family) {
    RegisterApplicationFonts();
    return HasFamily(family) ? family : FallbackFamily;
}

QFont FontOfCellHeight(const QString& family, int px, bool bold) {
    QFont font(FontFamily(family));
    font.setBold(bold);
    if (px < 1) {
        font.setPixelSize(1);
        return font;
    }
    // Cell heights grow with the pixel size but not one for one; the answer is remembered.
    static QHash<QString, int> sizes;
    const QString memo = font.family() + QLatin1Char('/') + QString::number(px) +
                         (bold ? QLatin1String("b") : QLatin1String(""));
    auto found = sizes.constFind(memo);
    if (found != sizes.constEnd()) {
        font.setPixelSize(*found);
        return font;
    }
    int best = 1;
    for (int size = 1; size <= 2 * px; ++size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() > px)
            break;
        best = size;
    }
    sizes.insert(memo, best);
    font.setPixelSize(best);
    return font;
}

QFont FontOfPoints(const QString& family, int points, bool bold) {
    QFont font(FontFamily(family));
    font.setBold(bold);
    font.setPixelSize(std::max(1, (points * 96 + 36) / 72));
    return font;
}

QFont VclFont(const QString& family, int height, bool bold) {
    if (height < 0) {
        QFont font(FontFamily(family));
        font.setBold(bold);
        font.setPixelSize(-height);
        return font;
    }
    return FontOfCellHeight(family, height, bold);
}

QFont BaseFont() {
    return FontOfPoints(QStringLiteral("Tahoma"), 8);
}

TForm::TForm(std::string_view className, QWidget* parent)
    : QWidget(parent, Qt::Window), className_(className) {
    const std::string_view name =
        className.starts_with('T') ? className.substr(1) : std::string_view(className);
    setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    setFont(BaseFont());
    TTranslation::Global().Register(this);
}

TForm::~TForm() {
    TTranslation::Global().Unregister(this);
}

void TForm::SetClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TForm::SetBorderIcons(int icons) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (icons & biSystemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (icons & biMinimize)
        flags |= Qt::WindowMinimizeButtonHint;
    if (icons & biMaximize)
        flags |= Qt::WindowMaximizeButtonHint;
    const bool shown = isVisible();
    setWindowFlags(flags);
    if (shown)
        show(); // changing the flags of a shown window hides it
}

QString TForm::Text(std::string_view key) const {
    return TTranslation::Global().Text(className_, key);
}

void TForm::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}
