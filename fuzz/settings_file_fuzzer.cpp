// Fuzzes the window's settings file (window/settings.h), which the program reads at start
// from ~/.config/vexa-tb-scope/vexa-tb-scope.ini through QSettings: a file a user or another
// program may have damaged. The input is the file, written where QSettings looks for it
// under a temporary XDG_CONFIG_HOME.
//
// Checks: the CCD settings window's position read is within the screen limits the program
// keeps, the folder read is empty or a folder that exists, and reading leaves the file as it
// was. Once, at start: the settings are read from the file this harness writes (the path
// the program guards is the one QSettings opens), and a FIFO, /dev/zero or a huge sparse
// file there gives the defaults promptly and is left alone by a save
// (fuzz/support/unreadable_files.h).
#include <QDir>
#include <QPoint>
#include <QSettings>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "fuzz/support/check.h"
#include "fuzz/support/unreadable_files.h"
#include "window/settings.h"

namespace {

vexafuzz::TemporaryFolder &Folder() {
    static vexafuzz::TemporaryFolder folder("vexa-settings-fuzz");
    return folder;
}

std::string SettingsFile() {
    return Folder().file("config/vexa-tb-scope/vexa-tb-scope.ini");
}

std::string Contents(const std::string &path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

bool SameKind(const std::string &path, mode_t kind, long long size) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind &&
           (size < 0 || st.st_size == size);
}

void CheckRead() {
    if (const auto pos = window::savedCcdWindowPosition())
        VEXA_FUZZ_CHECK(std::abs(pos->x()) <= 100000 && std::abs(pos->y()) <= 100000,
                        "a position read lies within the screen limits");
    const QString folder = window::savedFileFolder();
    VEXA_FUZZ_CHECK(folder.isEmpty() || QDir(folder).exists(),
                    "a folder read is empty or a folder that exists");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    ::setenv("XDG_CONFIG_HOME", Folder().file("config").c_str(), 1);
    QDir().mkpath(QString::fromStdString(Folder().file("config/vexa-tb-scope")));
    // The harness writes the file the program reads.
    window::saveCcdWindowPosition(QPoint(12, 34));
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QStringLiteral("vexa-tb-scope"), QStringLiteral("vexa-tb-scope"));
    VEXA_FUZZ_CHECK(settings.fileName().toStdString() == SettingsFile(),
                    "the settings live in the file this harness writes");
    VEXA_FUZZ_CHECK(window::savedCcdWindowPosition() == QPoint(12, 34),
                    "a position saved reads back");

    const auto place = [](const char *) { return SettingsFile(); };
    vexafuzz::CheckUnreadableFilesRefused(
        "the settings reader", place, [](const std::string &path) {
            struct stat before {};
            ::lstat(path.c_str(), &before);
            const bool defaults =
                !window::savedCcdWindowPosition() && window::savedFileFolder().isEmpty();
            window::saveCcdWindowPosition(QPoint(1, 2));
            window::saveFileFolder(QString::fromStdString(Folder().path()));
            return defaults && SameKind(path, before.st_mode & S_IFMT,
                                        S_ISREG(before.st_mode) ? before.st_size : -1);
        });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string file = SettingsFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    CheckRead();
    VEXA_FUZZ_CHECK(Contents(file) == std::string(reinterpret_cast<const char *>(data), size),
                    "reading the settings leaves the file as it was");
    return 0;
}
