// The choice of store by the form of --db, and the checks on an SQLite
// file's place made before SQLite is asked, so that a mistyped folder says
// so instead of SQLite's "unable to open database file".
#include "historian/open_store.h"

#include <sys/stat.h>

#include "historian/postgres_store.h"
#include "historian/sqlite_store.h"

namespace historian {

namespace {

bool startsWith(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The folder part of a path: "." for a bare file name.
std::string folderOf(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::unique_ptr<Store> openStore(const std::string &db, StoreUse use) {
    if (startsWith(db, "postgresql://") || startsWith(db, "postgres://"))
        return std::make_unique<PostgresStore>(db);
    if (db.empty())
        throw BadStorePlace("--db names no file");
    struct stat about {};
    const std::string folder = folderOf(db);
    if (::stat(folder.c_str(), &about) != 0 || !S_ISDIR(about.st_mode))
        throw BadStorePlace("the folder " + folder + " of the store " + db +
                            " does not exist; make it first (e.g. mkdir -p " + folder + ")");
    const bool exists = ::stat(db.c_str(), &about) == 0;
    if (exists && !S_ISREG(about.st_mode))
        throw BadStorePlace("the store " + db + " is not a plain file");
    if (use == StoreUse::Read && !exists)
        throw BadStorePlace("there is no store " + db +
                            " (vexa-tb-historian makes it when it runs; give --db FILE)");
    return std::make_unique<SqliteStore>(
        db, use == StoreUse::Read ? SqliteStore::Access::ReadOnly : SqliteStore::Access::ReadWrite);
}

} // namespace historian
