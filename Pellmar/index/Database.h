#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <atomic>
#include <concepts>
#include <exception>
#include <initializer_list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The system's one error value: `description` is the text the log or the user sees. An error
// that SQLite raised keeps SQLite's result code.
class DatabaseError : public std::exception {
public:
    explicit DatabaseError(QString description, int sqliteCode = 0);

    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }
    int sqliteCode() const { return sqliteCode_; }
    // The file itself is damaged (a corrupt page, or not a database at all): going on would write
    // into a store whose contents can no longer be trusted.
    bool isDamage() const;

private:
    QString description_;
    QByteArray utf8_;
    int sqliteCode_ = 0;
};

// One value to bind to a statement parameter. The kind decides how SQLite stores it:
// NULL, text, 64-bit integer, double (dates are seconds since 1970) or boolean (0/1).
// Anything else (integers of other widths, single-precision floats, UUIDs) is stored as its text.
class SqlValue {
public:
    using Storage = std::variant<std::monostate, QString, qint64, double, bool>;

    SqlValue() = default;
    SqlValue(std::nullptr_t) {}
    SqlValue(const QString& text) : value_(text) {}
    SqlValue(const char* text) : value_(QString::fromUtf8(text)) {}
    SqlValue(bool flag) : value_(flag) {}
    SqlValue(double number) : value_(number) {}
    SqlValue(const QDateTime& date) : value_(date.toMSecsSinceEpoch() / 1000.0) {}
    SqlValue(const QUuid& uuid) : value_(uuid.toString(QUuid::WithoutBraces).toUpper()) {}

    template <std::integral T>
        requires(!std::same_as<T, bool>)
    SqlValue(T number)
    {
        if constexpr (sizeof(T) == sizeof(qint64) && std::is_signed_v<T>)
            value_ = qint64(number);
        else
            value_ = QString::number(number);
    }

    SqlValue(float number) : value_(QString::number(number)) {}

    template <typename T>
    SqlValue(const std::optional<T>& maybe)
    {
        if (maybe)
            value_ = SqlValue(*maybe).value_;
    }

    const Storage& storage() const { return value_; }

private:
    Storage value_;
};

using SqlValues = std::vector<SqlValue>;

// One prepared statement. Every bind resets it first, so it can be run many times.
// Rows are read by stepping until `step()` returns false. A failing step throws: a read that
// fails part way (a damaged page, an interrupt) is never taken for "no more rows". A caller that
// may ignore a failure catches the DatabaseError itself.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(const SqlValues& values);
    // Ends the current run, so that the statement holds no read or write lock until bound again.
    void reset();

    // Steps once: true on a row, false when the statement is done; throws DatabaseError with
    // SQLite's generic text for any other result, or with the connection's message for a plain
    // error (SQLITE_ERROR).
    bool step();

    QString text(int column) const;
    // The column's text as SQLite holds it (UTF-8), valid until the statement steps or is reset.
    QByteArrayView utf8(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;
    std::optional<double> optionalReal(int column) const;
    bool boolean(int column) const;
    bool isNull(int column) const;

    sqlite3_stmt* handle() const { return handle_; }

private:
    sqlite3_stmt* handle_ = nullptr;
};

// One SQLite connection with foreign keys on. A read-write connection creates the file when it
// is missing and puts it in WAL mode; a read-only one never writes the file, whatever it finds.
class Database {
public:
    enum class Access { readWrite, readOnly };

    explicit Database(const QString& path, Access access = Access::readWrite);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs every statement of a parameterless SQL text in order.
    void exec(const QString& sql);
    // Binds the values to one statement and steps it once; rows are ignored. The statement is
    // kept prepared for the next run of the same text.
    void run(const QString& sql, const SqlValues& values = {});

    qint64 lastInsertRowId() const;
    qint64 changes() const;

    // Stops this connection's work for good, from any thread: the running statement fails with
    // "interrupted" at once, and so does every statement stepped after it. For an owner that is
    // going away and must not wait for a long query.
    void interrupt();
    // Closing this connection leaves the write-ahead log as it is (no checkpoint, no deletion): for
    // a file about to be moved aside, whose log must not be written back, nor a log of the same
    // name that a new file has by then be deleted.
    void keepLogOnClose();

    sqlite3* db() const { return db_; }

private:
    sqlite3* db_ = nullptr;
    std::atomic<bool> interrupted_ = false;
    // The statements of run() by their text. A write to a table with triggers compiles them into
    // the statement, which costs more than running it; a kept statement compiles once.
    std::unordered_map<QString, std::unique_ptr<Statement>> runStatements_;
};

// A several-statement write: "BEGIN" on construction, "COMMIT" on commit(); leaving the scope
// without commit rolls back, so a failed write commits nothing and the next "BEGIN" works.
class Transaction {
public:
    explicit Transaction(Database& database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Database& database_;
    bool open_ = true;
};

// Reads every statement of one figure from a single state of the index, so that a commit of the
// writer between them cannot show in the figure half-made: a read transaction unless one is open.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Database& database);

private:
    std::optional<Transaction> transaction_;
};
