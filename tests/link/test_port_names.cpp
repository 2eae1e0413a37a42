// Port names "COMn" against a fake /dev folder, a fake sysfs tree and a settings file.
#include "link/PortNames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "vextor-ports-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class PortNamesTest : public testing::Test {
protected:
    void SetUp() override {
        context.DeviceDir = dir.Path() / "dev";
        context.SysTtyDir = dir.Path() / "sys";
        // Devices, listed out of order, with names that must not count.
        for (const char* name :
             {"ttyS3", "ttyUSB10", "ttyS0", "ttyACM0", "ttyUSB2", "ttyS1", "ttyUSB1", "ttyS2",
              "ttyUSB", "ttyUSB1.lock", "ttyUSBx", "tty0", "ttyS", "console"})
            WriteFile(context.DeviceDir / name, "");
        // ttyS0: a 16550A. ttyS1: a placeholder line without a UART (type 0). ttyS2: no device.
        // ttyS3: a device of a driver without a UART type.
        fs::create_directories(context.SysTtyDir / "ttyS0" / "device");
        WriteFile(context.SysTtyDir / "ttyS0" / "type", "4\n");
        fs::create_directories(context.SysTtyDir / "ttyS1" / "device");
        WriteFile(context.SysTtyDir / "ttyS1" / "type", "0\n");
        WriteFile(context.SysTtyDir / "ttyS2" / "type", "4\n");
        fs::create_directories(context.SysTtyDir / "ttyS3" / "device");
    }
    std::string Dev(const char* name) const { return (context.DeviceDir / name).string(); }

    TempDir dir;
    PortNameContext context;
};

TEST(ComPortNumber, AcceptsComNamesInAnyCaseOnly) {
    const struct {
        const char* name;
        std::optional<int> number;
    } cases[] = {
        {"COM1", 1},   {"Com2", 2},   {"com10", 10}, {"cOm255", 255},      {"COM256", {}},
        {"COM0", {}},  {"COM01", {}}, {"COM1a", {}}, {"COM", {}},          {"XCOM1", {}},
        {"COM-1", {}}, {"COM 1", {}}, {"", {}},      {"/dev/ttyUSB0", {}}, {"COM99999999999", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComPortNumber(c.name), c.number) << c.name;
}

TEST_F(PortNamesTest, ListsUsbThenAcmThenRealUartsInNumericOrder) {
    const std::vector<std::string> expected = {Dev("ttyUSB1"), Dev("ttyUSB2"), Dev("ttyUSB10"),
                                               Dev("ttyACM0"), Dev("ttyS0"),   Dev("ttyS3")};
    EXPECT_EQ(ListSerialDevices(context), expected);
}

TEST_F(PortNamesTest, ComNamesMapToTheNthDeviceOtherNamesStayAsTheyAre) {
    const struct {
        const char* name;
        std::string device;
    } cases[] = {
        {"COM1", Dev("ttyUSB1")},
        {"Com2", Dev("ttyUSB2")},
        {"com3", Dev("ttyUSB10")},
        {"COM4", Dev("ttyACM0")},
        {"COM5", Dev("ttyS0")},
        {"COM6", Dev("ttyS3")},
        {"COM7", ""}, // no seventh device
        {"COM10", ""},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/tmp/vextor-sim", "/tmp/vextor-sim"},
        {"COM0", "COM0"},
        {"COM01", "COM01"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolvePortDevice(c.name, context), c.device) << c.name;
}

TEST_F(PortNamesTest, PortsSectionOfTheSettingsFileComesFirst) {
    context.SettingsFile = dir.Path() / "VEXTOR_CONFIG.INI";
    WriteFile(context.SettingsFile, "[Vextor]\r\nPortComm=COM2\r\n\r\n[Ports]\r\nCOM2 = "
                                    "/tmp/vextor-sim\r\ncom4=/dev/ttyS9\r\nCOM3=\r\n");
    EXPECT_EQ(ResolvePortDevice("Com2", context), "/tmp/vextor-sim");
    EXPECT_EQ(ResolvePortDevice("COM4", context), "/dev/ttyS9");    // key case does not matter
    EXPECT_EQ(ResolvePortDevice("COM3", context), Dev("ttyUSB10")); // empty value: not mapped
    EXPECT_EQ(ResolvePortDevice("COM1", context), Dev("ttyUSB1"));
}

TEST_F(PortNamesTest, MissingFoldersAndSettingsFileGiveNoDevices) {
    PortNameContext empty;
    empty.DeviceDir = dir.Path() / "nowhere";
    empty.SysTtyDir = dir.Path() / "nosys";
    empty.SettingsFile = dir.Path() / "missing.ini";
    EXPECT_TRUE(ListSerialDevices(empty).empty());
    EXPECT_EQ(ResolvePortDevice("COM1", empty), "");
    // Without sysfs no ttyS line counts as a UART.
    context.SysTtyDir = dir.Path() / "nosys";
    EXPECT_EQ(ListSerialDevices(context).size(), 4u);
}

} // namespace
