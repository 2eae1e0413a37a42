#include "runtime/ReportEngine.h"

#include <QPainter>

// Interface only for now: the engine itself lands with the chart windows' printing.

TBaseReport::TBaseReport(QPainter& painter, double dotsPerInchX, double dotsPerInchY)
    : painter_(painter), dpiX_(dotsPerInchX), dpiY_(dotsPerInchY) {}

void TBaseReport::PrintBitmapRect(double x1, double y1, double x2, double y2,
                                  const QImage& bitmap) {
    const QRectF target(x1 * dpiX_, y1 * dpiY_, (x2 - x1) * dpiX_, (y2 - y1) * dpiY_);
    painter_.drawImage(target, bitmap);
}

TRvSystem::TRvSystem() = default;
TRvSystem::~TRvSystem() = default;

void TRvSystem::Execute() {}
