#pragma once
// A PDF page as pixels, through poppler's pdftoppm (poppler-utils), for the printing tests.
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

inline bool CanRenderPdf() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
}

// The first page of a PDF file as an image of dpi dots per inch; null without pdftoppm.
inline QImage RenderPdf(const QString& pdf, int dpi) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (tool.isEmpty())
        return {};
    const QString base = pdf + QStringLiteral(".render");
    QProcess::execute(tool, {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                             QStringLiteral("-singlefile"), pdf, base});
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}
