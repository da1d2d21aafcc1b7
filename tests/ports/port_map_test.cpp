// The numbering rule of the COM selector, with injected port lists: the
// command line's devices first, found ports on the free numbers in order of
// their system location, the platform default for the rest.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "ports/port_map.h"

namespace {

using ports::FoundPort;
using ports::Platform;
using ports::PortMap;

const FoundPort kFtdi{"/dev/ttyUSB0", "ttyUSB0", "FT232R USB UART"};
const FoundPort kProlific{"/dev/ttyUSB1", "ttyUSB1", ""};
const FoundPort kAcm{"/dev/ttyACM0", "ttyACM0", "Arduino Uno"};

struct MapCase {
    const char *rule;
    QMap<int, QString> assigned;
    QList<FoundPort> found;
    Platform platform;
    // number -> expected device ("" = platform default) and label
    std::vector<std::tuple<int, QString, QString>> expected;
};

TEST(PortMap, NumbersGoToAssignedThenFoundPortsThenTheDefault) {
    const std::vector<MapCase> cases = {
        {"nothing found, nothing assigned",
         {},
         {},
         Platform::Posix,
         {{1, "", "COM1"}, {16, "", "COM16"}}},
        {"found ports take the numbers from 1, sorted by location",
         {},
         {kProlific, kFtdi, kAcm},
         Platform::Posix,
         {{1, "/dev/ttyACM0", "COM1 - ttyACM0 (Arduino Uno)"},
          {2, "/dev/ttyUSB0", "COM2 - ttyUSB0 (FT232R USB UART)"},
          {3, "/dev/ttyUSB1", "COM3 - ttyUSB1"},
          {4, "", "COM4"}}},
        {"assigned numbers stay; found ports fill the gaps around them",
         {{1, "/dev/pts/3"}, {3, "/tmp/sensor"}},
         {kFtdi, kProlific},
         Platform::Posix,
         {{1, "/dev/pts/3", "COM1 - /dev/pts/3"},
          {2, "/dev/ttyUSB0", "COM2 - ttyUSB0 (FT232R USB UART)"},
          {3, "/tmp/sensor", "COM3 - /tmp/sensor"},
          {4, "/dev/ttyUSB1", "COM4 - ttyUSB1"},
          {5, "", "COM5"}}},
        {"a found port assigned by hand is not offered twice",
         {{2, "/dev/ttyUSB0"}},
         {kFtdi, kProlific},
         Platform::Posix,
         {{1, "/dev/ttyUSB1", "COM1 - ttyUSB1"},
          {2, "/dev/ttyUSB0", "COM2 - /dev/ttyUSB0"},
          {3, "", "COM3"}}},
        {"a found port assigned by its short name is not offered twice",
         {{2, "ttyUSB0"}},
         {kFtdi, kProlific},
         Platform::Posix,
         {{1, "/dev/ttyUSB1", "COM1 - ttyUSB1"}, {3, "", "COM3"}}},
        {"an assignment beyond the selector's numbers leaves them all free",
         {{20, "/dev/pts/9"}},
         {kFtdi},
         Platform::Posix,
         {{1, "/dev/ttyUSB0", "COM1 - ttyUSB0 (FT232R USB UART)"},
          {20, "/dev/pts/9", "COM20 - /dev/pts/9"}}},
        {"on Windows COM n stays COM n, named by what is found there",
         {},
         {{"\\\\.\\COM3", "COM3", "USB Serial Port"}, {"\\\\.\\COM1", "COM1", ""}},
         Platform::Windows,
         {{1, "", "COM1"}, {2, "", "COM2"}, {3, "", "COM3 - USB Serial Port"}}},
        {"on Windows an assigned device keeps its number over a found one",
         {{3, "\\\\.\\COM9"}},
         {{"\\\\.\\COM3", "COM3", "USB Serial Port"}},
         Platform::Windows,
         {{3, "\\\\.\\COM9", "COM3 - \\\\.\\COM9"}}},
    };
    for (const MapCase &c : cases) {
        const PortMap map(c.assigned, c.found, c.platform);
        for (const auto &[number, device, label] : c.expected) {
            EXPECT_EQ(map.device(number), device) << c.rule << ", COM" << number;
            EXPECT_EQ(map.label(number), label) << c.rule << ", COM" << number;
        }
    }
}

TEST(PortMap, AFoundPortAssignedThroughALinkIsNotOfferedTwice) {
    QTemporaryDir dir;
    QFile device(dir.filePath(QStringLiteral("ttyFAKE0")));
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    const QString link = dir.filePath(QStringLiteral("by-id"));
    ASSERT_TRUE(QFile::link(device.fileName(), link));
    const PortMap map({{2, link}}, {{device.fileName(), QStringLiteral("ttyFAKE0"), QString()}},
                      Platform::Posix);
    EXPECT_EQ(map.device(1), "");
    EXPECT_EQ(map.label(1), "COM1");
    EXPECT_EQ(map.label(2), "COM2 - " + link);
}

TEST(PortMap, MoreFoundPortsThanFreeNumbersKeepTheFirstOnes) {
    QList<FoundPort> found;
    for (int i = 17; i >= 0; --i)
        found.append({QStringLiteral("/dev/ttyUSB%1").arg(i, 2, 10, QLatin1Char('0')),
                      QStringLiteral("ttyUSB%1").arg(i), QString()});
    const PortMap map({}, found, Platform::Posix);
    EXPECT_EQ(map.device(1), "/dev/ttyUSB00");
    EXPECT_EQ(map.device(16), "/dev/ttyUSB15");
    EXPECT_EQ(map.device(17), "");
}

} // namespace
