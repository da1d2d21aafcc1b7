// The rules every store of the historian keeps, as one value-parameterized
// suite over the backends: a test file per backend instantiates it with a
// factory for its store, e.g.
//
//   INSTANTIATE_TEST_SUITE_P(Sqlite, StoreSuite,
//                            ::testing::Values(StoreBackend{"Sqlite", openSqlite}),
//                            storeBackendName);
//
// The tests (store_suite.cpp) append batches and read them back through
// historian::Store alone, so a rule holds for SQLite and PostgreSQL alike.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "historian/store.h"

struct StoreBackend {
    std::string name; // the instantiation's name: letters and digits
    // A store kept in (or named after) `scratchDir`, a fresh empty folder per
    // test; called again with the same folder it opens the same store (the
    // suite reopens), so the store must start empty for a new folder.
    std::function<std::unique_ptr<historian::Store>(const std::string &scratchDir)> open;
};

// The fixture: a fresh scratch folder and the backend's store in it.
class StoreSuite : public ::testing::TestWithParam<StoreBackend> {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Closes the store and opens it again from the same scratch folder.
    void reopen();

    std::string scratchDir;
    std::unique_ptr<historian::Store> store;
};

std::string storeBackendName(const ::testing::TestParamInfo<StoreBackend> &info);
// A test's parameter as its name, in the test lists.
void PrintTo(const StoreBackend &backend, std::ostream *out);
