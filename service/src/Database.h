// A thin wrapper over SQLite for the service: one connection, prepared statements with positional
// parameters, and the schema every command shares.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace velkora::service {

struct DatabaseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A bound value: null, integer, real or text.
using SqlValue = std::variant<std::monostate, int64_t, double, std::string>;

class StatementCache;

class Statement {
public:
    // With a cache, the statement comes from it when one of the same text is idle, and goes back to it
    // reset instead of being finalised.
    Statement(sqlite3* db, const std::string& sql, StatementCache* cache = nullptr);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const SqlValue& value); // 1-based
    Statement& bindAll(const std::vector<SqlValue>& values);
    bool step(); // true while a row is ready
    void reset();

    bool isNull(int column) const;
    int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::optional<int64_t> optInteger(int column) const;
    std::optional<double> optReal(int column) const;
    int columnCount() const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    StatementCache* cache_ = nullptr;
    std::string sql_;
};

class Database {
public:
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql);
    Statement prepare(const std::string& sql) { return Statement(db_, sql, cache_.get()); }
    // Runs one statement with parameters and no rows.
    void run(const std::string& sql, const std::vector<SqlValue>& values = {});
    // The first column of the first row, or nothing.
    std::optional<int64_t> scalarInteger(const std::string& sql, const std::vector<SqlValue>& values = {});
    std::optional<std::string> scalarText(const std::string& sql, const std::vector<SqlValue>& values = {});
    int64_t lastInsertId() const;
    int changes() const;
    // Rows inserted, changed or removed since the connection opened (rolled-back ones included).
    int64_t totalChanges() const;

    // Takes the next value of a named counter (change numbers that several tables share).
    int64_t nextSequence(const std::string& name);

    void createSchema();

private:
    sqlite3* db_ = nullptr;
    // Commands run the same few statements for every row of a long list: compiling each once per
    // connection keeps a list of thousands of users quick.
    std::unique_ptr<StatementCache> cache_;
};

// Runs a block of statements in one transaction; rolls back unless commit() is reached.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.exec("ROLLBACK");
            } catch (...) {
            }
        }
    }
    void commit() {
        db_.exec("COMMIT");
        done_ = true;
    }

private:
    Database& db_;
    bool done_ = false;
};

} // namespace velkora::service
