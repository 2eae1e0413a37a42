#include "link/Comthread.h"

#include "link/Time.h"
#include "platform/LinkLog.h"

#include <algorithm>

namespace {

struct RequestRow {
    uint32_t bit;
    uint8_t command;
};

// The order of priority in which pending requests are served.
constexpr std::array<RequestRow, 7> kPriority = {{
    {ReqReadSetup, SensorFrame::CmdReadSetup},
    {ReqWriteSetup, SensorFrame::CmdWriteSetup},
    {ReqCmd80, SensorFrame::CmdCmd80},
    {ReqStoreEeprom, SensorFrame::CmdStoreEeprom},
    {ReqReadBack, SensorFrame::CmdReadBack},
    {ReqReadInfo, SensorFrame::CmdReadInfo},
    {ReqWriteInfo, SensorFrame::CmdWriteInfo},
}};

} // namespace

TComThread::TComThread(SensorTables& tables, SerialPort& port, ReplyHooks* hooks, bool start)
    : tables_(tables), port_(port), hooks_(hooks) {
    StartTick = TickNow();
    PollTick = StartTick;
    if (start)
        Start();
}

TComThread::~TComThread() {
    Terminate();
    WaitFor();
}

void TComThread::Execute() {
    while (!Terminated()) {
        if (tables_.LinkActive) {
            if (ReplyOverdue()) {
                // No time-out before the UI thread has taken in what the port has delivered: a
                // reply that waits in the queue while a long handler runs is no late reply. The
                // second hand-off serves a receive event that the port queued behind the first
                // one while the UI thread was busy.
                HandOffEmpty();
                HandOffEmpty();
            }
            PollStep();
        }
        // Ties the poller's pace to the UI thread: each cycle waits until the UI thread has
        // processed its pending work (and so any reply bytes already delivered).
        if (!HandOffEmpty())
            break;
        // Sleeps until the next time limit, a raised request, a good reply or the stop.
        SleepUntilWoken(MsToNextStep());
    }
}

bool TComThread::ReplyOverdue() const noexcept {
    return PollState.Get() == State::AwaitingReply && !ReplyOk && TickElapsed(ReplyTick) > ReplyWaitMs;
}

int TComThread::MsToNextStep() const noexcept {
    if (!tables_.LinkActive)
        return LinkCheckMs;
    // Time left until TickElapsed(stamp) > limit.
    const auto until = [](uint32_t stamp, uint32_t limit) {
        const uint32_t elapsed = TickElapsed(stamp);
        return elapsed > limit ? 0 : static_cast<int>(limit - elapsed) + 1;
    };
    switch (PollState.Get()) {
    case State::Starting:
        return until(StartTick, StartDelayMs);
    case State::Selecting:
        return RequestFlags.load(std::memory_order_acquire) != 0 ? 0 : until(PollTick, IdlePollMs);
    case State::AwaitingReply:
        return ReplyOk ? 0 : until(ReplyTick, ReplyWaitMs);
    case State::Pausing:
        return until(PauseTick, PauseMs);
    default:
        return 0;
    }
}

void TComThread::PollStep() noexcept {
    switch (PollState.Get()) {
    case State::Starting:
        if (TickElapsed(StartTick) > StartDelayMs)
            PollState = State::Selecting;
        break;
    case State::Selecting: {
        TxCommand = 0;
        const uint32_t pending = RequestFlags.load(std::memory_order_acquire);
        if (pending != 0) {
            for (const RequestRow& row : kPriority) {
                if (pending & row.bit) {
                    TxCommand = row.command;
                    RequestFlags.fetch_and(~row.bit, std::memory_order_acq_rel);
                    if (WriteMark* mark = MarkOf(TxCommand))
                        mark->taken = mark->raised.load(std::memory_order_acquire);
                    break;
                }
            }
        }
        if (TxCommand == 0 && TickElapsed(PollTick) > IdlePollMs) {
            TxCommand = SensorFrame::CmdReadStatus;
            PollTick = TickNow();
        }
        if (TxCommand != 0) {
            TxLength = static_cast<int16_t>(SensorFrame::RequestLength(TxCommand));
            // Takes effect in the receiver at once, also for a frame it is collecting.
            ExpectedLength = static_cast<int16_t>(SensorFrame::ReplyLength(TxCommand));
            PollState = State::Sending;
        }
        break;
    }
    case State::Sending:
        SendRequest();
        break;
    case State::AwaitingReply:
        if (ReplyOk) {
            ReplyTick = TickNow();
            PauseTick = ReplyTick;
            PollState = State::Pausing;
        } else if (TickElapsed(ReplyTick) > ReplyWaitMs) {
            LinkCounters.Timeouts = LinkCounters.Timeouts + 1;
            PollState = State::LinkLost;
        }
        break;
    case State::Pausing:
        if (TickElapsed(PauseTick) > PauseMs)
            PollState = State::Selecting;
        break;
    case State::LinkLost:
        LogLinkLost();
        tables_.LinkActive = 0;
        port_.Close();
        LinkCounters.LinksLost = LinkCounters.LinksLost + 1;
        PollState = State::Selecting;
        break;
    default:
        PollState = State::Selecting;
        break;
    }
}

void TComThread::LogLinkLost() const noexcept {
    const PortFault fault = port_.LastIoFault();
    qCDebug(lcLink,
            "link lost: no good reply to 0x%02X within %u ms%s%s (sent %d, good %d, checksum "
            "errors %d)",
            TxCommand, ReplyWaitMs, fault == PortFault::None ? "" : "; the port reports ",
            fault == PortFault::None ? "" : PortFaultText(fault), LinkCounters.FramesSent.Get(),
            LinkCounters.RepliesGood.Get(), LinkCounters.ChecksumErrors.Get());
}

void TComThread::SendRequest() noexcept {
    SensorFrame::EncodeRequest(TxCommand, tables_, TxFrame.data());
    if (WriteMark* mark = MarkOf(TxCommand))
        mark->sent.store(mark->taken, std::memory_order_release); // the confirmed words are out
    // Cleared before the write, so a fast reply cannot be wiped out by the clearing.
    ReplyOk = 0;
    port_.Write(TxFrame.data(), TxLength); // a failed write simply gets no reply
    LinkCounters.FramesSent = LinkCounters.FramesSent + 1;
    ReplyTick = TickNow();
    PollState = State::AwaitingReply;
}

TComThread::WriteMark* TComThread::MarkOf(uint8_t command) noexcept {
    if (command == SensorFrame::CmdWriteSetup)
        return &setupWrite_;
    if (command == SensorFrame::CmdWriteInfo)
        return &infoWrite_;
    return nullptr;
}

void TComThread::ReceiveBytes(int count) noexcept {
    while (count > 0) {
        const int portion = std::min(count, ReceiveBufferSize);
        const int got = port_.Read(rxBuffer_.data(), portion);
        if (got <= 0)
            return; // closed port or nothing there: the batch ends
        FeedBytes(rxBuffer_.data(), std::min(got, portion));
        count -= portion;
    }
}

void TComThread::FeedBytes(const uint8_t* bytes, int count) noexcept {
    for (int i = 0; i < count; ++i)
        AssembleByte(bytes[i]);
}

void TComThread::AssembleByte(uint8_t b) noexcept {
    if (RxState == 0) {
        if (b == SensorFrame::StartByte) {
            RxFrame[0] = b;
            RxCount = 1;
            RxState = 1;
        }
        return; // anything before a start byte is dropped without trace
    }
    const int expected = ExpectedLength.Get(); // the value in force at this byte
    if (expected < SensorFrame::ShortLength || expected > SensorFrame::MaxLength ||
        RxCount >= static_cast<int>(RxFrame.size())) {
        // No request has been chosen yet (a new poller): no frame can be complete, so the
        // bytes are dropped and the assembler waits for the next start byte.
        RxState = 0;
        return;
    }
    RxFrame[RxCount] = b;
    ++RxCount;
    if (RxCount < expected)
        return;
    RxState = 0;
    if (SensorFrame::ChecksumOk(RxFrame.data(), expected)) {
        if (expected == SensorFrame::LongLength)
            DispatchReply(RxFrame[3]);
        LinkCounters.RepliesGood = LinkCounters.RepliesGood + 1;
        ReplyOk = 1;
        Wake(); // the poller waiting for this reply goes on at once
    } else {
        ReplyOk = 0;
        LinkCounters.ChecksumErrors = LinkCounters.ChecksumErrors + 1;
    }
}

void TComThread::DispatchReply(uint8_t command) noexcept {
    // command is the frame's own command byte, RxFrame[3].
    if (command != RxFrame[3])
        return;
    // A read of a table whose write is still to go out would replace the words the user
    // confirmed, and the write would then carry the sensor's old words back to it.
    if ((command == SensorFrame::CmdReadSetup && SetupWriteOutstanding()) ||
        (command == SensorFrame::CmdReadInfo && InfoWriteOutstanding()))
        return;
    SensorFrame::DecodeReply(RxFrame.data(), SensorFrame::LongLength, tables_, hooks_);
}

void ReceiveWaitingBytes(SensorTables& tables, TComThread* comThread, uint32_t count) noexcept {
    if (count == 0)
        return;
    if (tables.LinkActive && comThread)
        comThread->ReceiveBytes(static_cast<int>(std::min<uint32_t>(count, 1u << 30)));
    tables.RxSeen = 1;
}
