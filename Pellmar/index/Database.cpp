#include "Pellmar/index/Database.h"

#include <sqlite3.h>

namespace {

// Read-write, create if missing, serialized threading mode.
constexpr int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
static_assert(openFlags == 0x10006);
constexpr int readOnlyFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;

void bindText(sqlite3_stmt* handle, int index, const QString& text)
{
    // Text is bound up to its first NUL character, as a C string would be.
    const QByteArray utf8 = text.toUtf8();
    const qsizetype nul = utf8.indexOf('\0');
    const int length = int(nul < 0 ? utf8.size() : nul);
    sqlite3_bind_text(handle, index, utf8.constData(), length, SQLITE_TRANSIENT);
}

} // namespace

DatabaseError::DatabaseError(QString description, int sqliteCode)
    : description_(std::move(description))
    , utf8_(description_.toUtf8())
    , sqliteCode_(sqliteCode)
{
}

bool DatabaseError::isDamage() const
{
    const int primary = sqliteCode_ & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

Statement::Statement(sqlite3* db, const QString& sql)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(db, utf8.constData(), -1, &handle_, nullptr) != SQLITE_OK || !handle_) {
        sqlite3_finalize(handle_);
        handle_ = nullptr;
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db));
    }
}

Statement::~Statement()
{
    sqlite3_finalize(handle_);
}

Statement& Statement::bind(const SqlValues& values)
{
    sqlite3_reset(handle_);
    sqlite3_clear_bindings(handle_);
    int index = 1;
    for (const SqlValue& value : values) {
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::monostate>)
                    sqlite3_bind_null(handle_, index);
                else if constexpr (std::is_same_v<T, QString>)
                    bindText(handle_, index, v);
                else if constexpr (std::is_same_v<T, qint64>)
                    sqlite3_bind_int64(handle_, index, v);
                else if constexpr (std::is_same_v<T, double>)
                    sqlite3_bind_double(handle_, index, v);
                else if constexpr (std::is_same_v<T, bool>)
                    sqlite3_bind_int(handle_, index, v ? 1 : 0);
            },
            value.storage());
        ++index;
    }
    return *this;
}

void Statement::reset()
{
    sqlite3_reset(handle_);
}

bool Statement::step()
{
    const int result = sqlite3_step(handle_);
    // A plain error of a kept statement is often one it met when prepared again after a change
    // of the schema ("no such table: …"): that text says more than the generic one.
    if (result == SQLITE_ERROR)
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(handle_))), result);
    if (result != SQLITE_ROW && result != SQLITE_DONE)
        throw DatabaseError(QString::fromUtf8(sqlite3_errstr(result)), result);
    return result == SQLITE_ROW;
}

QString Statement::text(int column) const
{
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(handle_, column));
    if (!chars)
        return {};
    return QString::fromUtf8(chars, sqlite3_column_bytes(handle_, column));
}

QByteArrayView Statement::utf8(int column) const
{
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(handle_, column));
    return chars ? QByteArrayView(chars, sqlite3_column_bytes(handle_, column)) : QByteArrayView();
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(handle_, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(handle_, column);
}

std::optional<double> Statement::optionalReal(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return real(column);
}

bool Statement::boolean(int column) const
{
    return int64(column) == 1;
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(handle_, column) == SQLITE_NULL;
}

Database::Database(const QString& path, Access access)
{
    // Nothing reads SQLite's memory statistics; kept, they take a process-wide lock on every
    // allocation, which the writer's triggers make by the thousand for each file.
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(configured);
    const QByteArray utf8 = path.toUtf8();
    const int opened = sqlite3_open_v2(utf8.constData(), &db_, access == Access::readOnly ? readOnlyFlags : openFlags, nullptr);
    if (opened != SQLITE_OK || !db_) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError(QStringLiteral("cannot open %1 (%2)").arg(path, QString::fromUtf8(sqlite3_errstr(opened))), opened);
    }
    // Asked every few thousand steps of the virtual machine: once interrupted, every statement fails,
    // including those a job starts after the one that was running when interrupt() was called.
    sqlite3_progress_handler(
        db_, 4096, [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; }, &interrupted_);
    try {
        if (access == Access::readOnly) {
            exec(QStringLiteral("PRAGMA foreign_keys = ON"));
            exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
            return;
        }
        exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        // A checkpoint every 4,000 pages of log (16 MB) rather than every 1,000: each one writes its
        // pages back all over a large index file and waits for them to reach the disk, and a page
        // that several batches change in between is written back once.
        exec(QStringLiteral("PRAGMA wal_autocheckpoint = 4000"));
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        // Statement journals and sorts stay in memory: a write that changes many index pages of a
        // file row (linking it to its item, say) would otherwise make and delete a file on disk.
        exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
        // A row that a REPLACE removes passes through the delete triggers like any deleted row, so
        // that the counts the index keeps stay right.
        exec(QStringLiteral("PRAGMA recursive_triggers = ON"));
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

Database::~Database()
{
    runStatements_.clear();   // a connection with statements left open would not close
    sqlite3_close(db_);
}

void Database::exec(const QString& sql)
{
    char* message = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (const int result = sqlite3_exec(db_, utf8.constData(), nullptr, nullptr, &message); result != SQLITE_OK) {
        const QString description = message ? QString::fromUtf8(message) : QStringLiteral("sqlite error");
        sqlite3_free(message);
        throw DatabaseError(description, sqlite3_extended_errcode(db_));
    }
}

void Database::run(const QString& sql, const SqlValues& values)
{
    // Texts made with values in them would fill the map; it starts again past this many.
    constexpr size_t keptStatements = 128;
    auto kept = runStatements_.find(sql);
    if (kept == runStatements_.end()) {
        if (runStatements_.size() >= keptStatements)
            runStatements_.clear();
        kept = runStatements_.emplace(sql, std::make_unique<Statement>(db_, sql)).first;
    }
    Statement& statement = *kept->second;
    statement.bind(values);
    try {
        statement.step();
    } catch (...) {
        statement.reset();
        throw;
    }
    statement.reset();
}

qint64 Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(db_);
}

qint64 Database::changes() const
{
    return sqlite3_changes64(db_);
}

void Database::interrupt()
{
    interrupted_ = true;
    sqlite3_interrupt(db_);
}

void Database::keepLogOnClose()
{
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

Transaction::Transaction(Database& database)
    : database_(database)
{
    database_.exec(QStringLiteral("BEGIN"));
}

Transaction::~Transaction()
{
    if (!open_)
        return;
    try {
        database_.exec(QStringLiteral("ROLLBACK"));
    } catch (const DatabaseError&) {
        // SQLite may already have rolled back on its own (for example after an I/O error).
    }
}

void Transaction::commit()
{
    database_.exec(QStringLiteral("COMMIT"));
    open_ = false;
}

ReadSnapshot::ReadSnapshot(Database& database)
{
    if (sqlite3_get_autocommit(database.db()) != 0)
        transaction_.emplace(database);
}
