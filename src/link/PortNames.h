#pragma once
// Port names. The program shows and saves the names "COM1" to "COM10" on every system; on Linux
// such a name stands for a serial device:
//
// - the device given by key `COMn` of section `Ports` in the settings file, when that key is set
//   (for example "COM1=/dev/ttyUSB3" or "COM2=/tmp/vextor-sim");
// - otherwise the n-th serial device present: first /dev/ttyUSB*, then /dev/ttyACM*, each in
//   numeric order, then the /dev/ttyS* that have a real UART behind them (sysfs shows a device
//   for them, and a UART type other than unknown). A USB adapter plugged in is therefore COM1.
//
// "COMn", "Comn" and "comn" are the same name (the main window stores "Com2"). Any other name,
// for example a device path saved by hand, is used as it is.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the mapping looks; tests point it at folders of their own.
struct PortNameContext {
    std::filesystem::path DeviceDir = "/dev";
    std::filesystem::path SysTtyDir = "/sys/class/tty"; // one folder per tty, as sysfs has it
    std::filesystem::path SettingsFile;                 // empty: no `Ports` section is consulted
};

// The section of the settings file that maps port names to devices.
inline constexpr std::string_view PortsSection = "Ports";

// n for a name "COMn" (any letter case, n from 1 to 255 without leading zeros); nullopt for
// every other name.
std::optional<int> ComPortNumber(std::string_view name);

// The serial devices present, as full paths, in the order that numbers them COM1, COM2, ...
std::vector<std::string> ListSerialDevices(const PortNameContext& context);

// The device to open for a port name. A "COMn" that maps to nothing gives an empty string (which
// no open succeeds on). Never raises.
std::string ResolvePortDevice(std::string_view name, const PortNameContext& context);
