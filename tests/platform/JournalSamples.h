#pragma once
// The samples the journal tests write: a function of the sample's number, so a test can check
// what a child process wrote before it was killed.
#include "platform/RecordingJournal.h"

#include <cstdint>

inline RecordingSample JournalTestSample(uint32_t i) {
    RecordingSample s;
    s.TimeMs = 1'796'980'000'000 + static_cast<int64_t>(i) * 1000 + i % 7; // December 2026
    s.Primary = static_cast<int32_t>(i * 37u) - 50'000;
    s.Secondary = i % 2 == 0 ? static_cast<int32_t>(i) : -static_cast<int32_t>(i * 3u);
    return s;
}

inline RecordingHeader JournalTestHeader() {
    RecordingHeader h;
    h.Window = QStringLiteral("Grafico");
    h.Start = QDateTime::currentDateTime();
    h.OutputIndex = 1;
    h.OutputTitle = QStringLiteral("Portata [m³/h]");
    h.Unit = QStringLiteral("m³/h");
    h.FullScale = 1200;
    return h;
}
