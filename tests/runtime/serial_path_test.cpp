// Which serial path VEXA_SERIAL picks, and what a program says at its start
// about a setting that names none (vexa-tb-ctl run as a process).
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <string>

#include "runtime/serial_path.h"

namespace {

TEST(SerialPath, VexaSerialPicksThePathAndAWrongOneIsNamedOnStderr) {
    using rt::SerialPath;
    const std::string garbage = "VEXA_SERIAL=fast names no serial path (linux or portable): "
                                "the linux path is used";
    const struct {
        const char *setting; // nullptr: not set
        SerialPath path;
        std::string complaint;
    } cases[] = {
        {nullptr, SerialPath::Linux, ""},     {"", SerialPath::Linux, ""},
        {"linux", SerialPath::Linux, ""},     {"portable", SerialPath::Portable, ""},
        {"fast", SerialPath::Linux, garbage},
    };
    for (const auto &c : cases) {
        const std::string setting = c.setting ? c.setting : "(not set)";
        std::string complaint = "left over";
        EXPECT_EQ(rt::serialPathFor(c.setting, complaint), c.path) << setting;
        EXPECT_EQ(complaint, c.complaint) << setting;

        QProcess ctl;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VEXA_SERIAL"));
        if (c.setting)
            environment.insert(QStringLiteral("VEXA_SERIAL"), QString::fromUtf8(c.setting));
        ctl.setProcessEnvironment(environment);
        ctl.start(QStringLiteral(VEXA_APP_DIR "/vexa-tb-ctl"), {QStringLiteral("--help")});
        ASSERT_TRUE(ctl.waitForFinished(10000)) << setting;
        const std::string err = ctl.readAllStandardError().toStdString();
        EXPECT_EQ(err, c.complaint.empty() ? "" : c.complaint + "\n") << setting;
    }
}

} // namespace
