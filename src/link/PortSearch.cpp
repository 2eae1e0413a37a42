#include "link/PortSearch.h"

#include "link/Time.h"
#include "platform/Exception.h"
#include "platform/IniFile.h"
#include "platform/LinkLog.h"

#include <exception>

TPortSearch::TPortSearch(SensorTables& tables, TComm& comm, std::filesystem::path settingsFile,
                         ReplyHooks* replyHooks, Hooks hooks)
    : tables_(tables), comm_(comm), settingsFile_(std::move(settingsFile)), replyHooks_(replyHooks),
      hooks_(std::move(hooks)) {}

TPortSearch::~TPortSearch() {
    StopPoller();
}

void TPortSearch::StopPoller() {
    if (!comThread_)
        return;
    comThread_->Terminate();
    comThread_->WaitFor();
    comThread_.reset();
}

const char* TPortSearch::LinkStateText() const {
    if (tables_.LinkActive == 1)
        return "On-Line";
    return SearchStep == 0 ? "Off-Line" : "Search-Line";
}

void TPortSearch::SearchTick() {
    if (SearchStep == 0 && AutoReconnect)
        ReconnectWhenDue();
    switch (SearchStep) {
    case 1:
        PortIndex = 0;
        if (hooks_.SetProgress)
            hooks_.SetProgress(0);
        StopPoller();
        // A port still open (the button pressed just after a success) would make every Open
        // fail as "already assigned": start from a closed port.
        comm_.Close();
        portNote_.clear();
        SavedPort = IniFile(settingsFile_).ReadString(SettingsSection, PortKey, DefaultPort);
        tables_.LinkActive = 0;
        comm_.SetDeviceName(SavedPort);
        comm_.SetBaudRate(br38400);
        SearchStep = 2;
        break;
    case 2:
        OpenAndProbe();
        break;
    case 3:
        if (tables_.RxSeen == 1) {
            SavedPort = comm_.DeviceName();
            // A settings file that cannot be written must not keep the link down: the link
            // comes up, and the error is reported once after that.
            std::exception_ptr saveError;
            try {
                IniFile(settingsFile_).WriteString(SettingsSection, PortKey, SavedPort);
            } catch (const EIniFileException&) {
                saveError = std::current_exception();
            }
            comThread_ = std::make_unique<TComThread>(tables_, comm_, replyHooks_);
            comThread_->RaiseRequest(ReqReadSetup | ReqReadInfo);
            if (hooks_.EnableDisplayTimer)
                hooks_.EnableDisplayTimer();
            tables_.LinkActive = 1;
            SearchStep = 0;
            qCDebug(lcLink, "link up on %s (%s)", SavedPort.c_str(), comm_.DevicePath().c_str());
            if (saveError)
                std::rethrow_exception(saveError);
        } else if (ProbeTimedOut == 1) {
            qCDebug(lcLink, "%s (%s): no answer to the probe", comm_.DeviceName().c_str(),
                    comm_.DevicePath().c_str());
            comm_.Close();
            SearchStep = 4;
        }
        break;
    case 4:
        if (PortIndex > 9) {
            SearchStep = 0; // no port answered: Off-Line
            break;
        }
        comm_.SetDeviceName(PortList[static_cast<size_t>(PortIndex)]);
        ++PortIndex;
        if (hooks_.SetProgress)
            hooks_.SetProgress(PortIndex);
        SearchStep = 2;
        break;
    default:
        break;
    }
}

void TPortSearch::ReconnectWhenDue() {
    if (tables_.LinkActive == 1) {
        downNoted_ = false;
        return;
    }
    if (!downNoted_) {
        downNoted_ = true;
        downSince_ = TickNow();
        return;
    }
    if (TickElapsed(downSince_) > ReconnectDelayMs) {
        qCDebug(lcLink, "searching again for the sensor by itself");
        downNoted_ = false;
        Start();
    }
}

void TPortSearch::OpenAndProbe() {
    comm_.Open(); // raises when the port opened but could not be set up: SearchStep stays 2
    if (!comm_.Enabled()) {
        NoteOpenFailure();
        SearchStep = 4;
        return;
    }
    tables_.RxSeen = 0;
    // The probe is the 0x10 request; any byte that comes back counts as an answer.
    uint8_t probe[SensorFrame::ShortLength];
    SensorFrame::EncodeRequest(SensorFrame::CmdReadSetup, tables_, probe);
    comm_.Write(probe, sizeof probe);
    ProbeTimedOut = 0;
    if (hooks_.ArmProbeTimer)
        hooks_.ArmProbeTimer();
    SearchStep = 3;
}

void TPortSearch::NoteOpenFailure() {
    const PortFault fault = comm_.LastOpenFault();
    if (fault != PortFault::InUse && fault != PortFault::NoPermission)
        return; // absent ports are the normal case of a search
    if (!portNote_.empty())
        portNote_ += "\n";
    portNote_ += comm_.DeviceName() + ": " + PortFaultText(fault);
}
