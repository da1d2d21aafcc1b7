// A store from what the user gives to --db: "postgresql://..." or
// "postgres://..." is a PostgreSQL database, anything else an SQLite file,
// whose folder must exist (the file is made in it when missing).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "historian/store.h"

namespace historian {

// --db names no place a store can be: an SQLite file in a folder that does
// not exist, or, for reading, a file that does not exist. A bad command
// line, not a store that is away.
class BadStorePlace : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class StoreUse {
    Keep, // the service: makes the file and the schema when missing
    Read, // the queries: the store must exist
};

// Throws BadStorePlace, or StoreUnavailable (and std::runtime_error for a
// schema newer than this program) from the store itself.
std::unique_ptr<Store> openStore(const std::string &db, StoreUse use = StoreUse::Keep);

} // namespace historian
