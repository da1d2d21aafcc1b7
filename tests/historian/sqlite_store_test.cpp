// The store rules on SQLite files, and what only a file can do: fill its
// disk, carry a schema from a newer program, be opened for reading only.
#include <sqlite3.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "historian/sqlite_store.h"
#include "tests/historian/store_suite.h"

using namespace historian;

namespace {

std::unique_ptr<Store> openSqlite(const std::string &scratchDir) {
    return std::make_unique<SqliteStore>(scratchDir + "/plant.db");
}

INSTANTIATE_TEST_SUITE_P(Sqlite, StoreSuite, ::testing::Values(StoreBackend{"Sqlite", openSqlite}),
                         storeBackendName);

constexpr Millis T0 = 1796688000000; // 2026-12-08T00:00:00Z

Batch framesBatch(std::int64_t firstSeq, int count) {
    Batch batch;
    for (int i = 0; i < count; ++i) {
        FrameRecord f{"line1", T0 + (firstSeq + i) * 10, firstSeq + i, {}};
        f.words.fill(std::uint16_t(firstSeq + i));
        batch.frames.push_back(f);
    }
    return batch;
}

// A scratch folder, removed with what is in it.
class SqliteFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vexa-sqlite-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir + "/plant.db";
    }
    void TearDown() override {
        if (mounted)
            umount2(dir.c_str(), MNT_DETACH);
        std::filesystem::remove_all(dir);
    }

    void setUserVersion(int version) {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const std::string sql = "PRAGMA user_version = " + std::to_string(version);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    std::string dir, path;
    bool mounted = false;
};

} // namespace

TEST_F(SqliteFile, AFullDiskMakesAppendThrowAndLosesNothingKeptBefore) {
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "): the full disk is not tried";
    mounted = true;
    const std::string filler = dir + "/filler";
    std::ofstream(filler) << std::string(512 * 1024, 'x');
    std::int64_t kept = 0;
    std::string why;
    {
        SqliteStore store(path);
        Batch batch;
        for (int tries = 0; tries < 200 && why.empty(); ++tries) { // 2 MB hold < 200 x 2,000 frames
            batch = framesBatch(kept + 1, 2000);
            try {
                store.append(batch);
                kept += 2000;
            } catch (const StoreUnavailable &e) {
                why = e.what();
            }
        }
        ASSERT_NE(why, "") << "the disk never filled";
        EXPECT_NE(why.find("full"), std::string::npos) << why;
        EXPECT_EQ(store.frames("line1", {0, T0 * 2}, 1000000).size(), std::size_t(kept))
            << "nothing of the failed batch";

        std::filesystem::remove(filler);
        store.append(batch); // the same batch again, as the service retries it
        kept += 2000;
        EXPECT_EQ(store.frames("line1", {0, T0 * 2}, 1000000).size(), std::size_t(kept));
    }
    SqliteStore reopened(path);
    const auto frames = reopened.frames("line1", {0, T0 * 2}, 1000000);
    ASSERT_EQ(frames.size(), std::size_t(kept));
    for (std::size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(frames[i].seq, std::int64_t(i + 1)) << "every frame once, in order";
}

TEST_F(SqliteFile, ASchemaNewerThanKnownIsRefusedAndLeftAlone) {
    setUserVersion(SQLITE_SCHEMA_VERSION + 1);
    try {
        SqliteStore store(path);
        FAIL() << "a newer schema was opened";
    } catch (const std::runtime_error &e) {
        EXPECT_EQ(std::string(e.what()),
                  path + " has schema 2, newer than this vexa-tb-historian knows (1): use a "
                         "newer vexa-tb-historian");
    }
    EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << "opened without a change";
}

TEST_F(SqliteFile, ANewFileGetsTheSchemaAndSaysSo) {
    SqliteStore store(path);
    EXPECT_EQ(store.describe(), "SQLite " + path + " (schema 1)");
    SqliteStore again(path); // a second opening migrates nothing
    EXPECT_EQ(again.describe(), "SQLite " + path + " (schema 1)");
}

TEST_F(SqliteFile, ReadingOnlyNeedsAFileTheHistorianWrote) {
    EXPECT_THROW(SqliteStore(path, SqliteStore::Access::ReadOnly), StoreUnavailable);
    EXPECT_FALSE(std::filesystem::exists(path)) << "not created for reading";
    {
        SqliteStore writer(path);
        writer.append(framesBatch(1, 3));
    }
    SqliteStore reader(path, SqliteStore::Access::ReadOnly);
    EXPECT_EQ(reader.frames("line1", {0, T0 * 2}, 10).size(), 3u);
    EXPECT_THROW(reader.append(framesBatch(4, 1)), StoreUnavailable);
}
