#include "server/postgres_driver.h"

#include <gtest/gtest.h>

using namespace centeremp::server;

namespace {

// Only a '?' that stands for a value becomes $N; one in a quoted text or name, or in a comment,
// is part of what it stands in.
TEST(PostgresPlaceholders, NumberOnlyTheValues) {
    const struct {
        const char* query;
        const char* numbered;
    } cases[] = {
        {"SELECT ? , ?", "SELECT $1 , $2"},
        {"SELECT '?', ?", "SELECT '?', $1"},
        {"SELECT 'it''s ?', ?", "SELECT 'it''s ?', $1"},
        {"SELECT \"a?b\" FROM t WHERE x = ?", "SELECT \"a?b\" FROM t WHERE x = $1"},
        {"SELECT ? -- why?\n, ?", "SELECT $1 -- why?\n, $2"},
        {"SELECT /* which? */ ?", "SELECT /* which? */ $1"},
        {"SELECT ? -- to the end?", "SELECT $1 -- to the end?"},
        {"SELECT 'unended ?", "SELECT 'unended ?"},
        {"SELECT 5 - ?", "SELECT 5 - $1"},
    };
    for (const auto& row : cases)
        EXPECT_EQ(numberedPlaceholders(QString::fromUtf8(row.query)), QByteArray(row.numbered)) << row.query;
}

}  // namespace
