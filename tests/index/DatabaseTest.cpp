#include "Pellmar/index/Database.h"

#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

template <typename Call>
QString descriptionOf(Call&& call)
{
    try {
        call();
    } catch (const DatabaseError& error) {
        return error.description();
    }
    return QStringLiteral("<no error>");
}

class DatabaseTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("test.sqlite"));
    Database db{path};

    QString typeAndValue(const QString& sql)
    {
        Statement row(db.db(), sql);
        return row.step() ? row.text(0) : QStringLiteral("<no row>");
    }
};

TEST_F(DatabaseTest, OpensInWalModeAndFailsOnMissingFolder)
{
    EXPECT_EQ(typeAndValue(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    EXPECT_EQ(typeAndValue(QStringLiteral("PRAGMA foreign_keys")), QStringLiteral("1"));

    const QString missing = dir.filePath(QStringLiteral("no/such/folder/x.sqlite"));
    try {
        Database broken(missing);
        FAIL() << "opened a database in a missing folder";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("cannot open %1 (unable to open database file)").arg(missing));
        EXPECT_FALSE(error.isDamage());
    }
}

TEST_F(DatabaseTest, BindsEachKindOfValueByItsRule)
{
    db.exec(QStringLiteral("CREATE TABLE v (n INTEGER, x)"));
    const QUuid uuid = QUuid::fromString(QStringLiteral("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"));
    const std::optional<qint64> absent;
    const struct {
        SqlValue value;
        const char* expected; // typeof(x) || ':' || x
    } cases[] = {
        {SqlValue(), "null:"},
        {SqlValue(absent), "null:"},
        {SqlValue(std::optional<qint64>(7)), "integer:7"},
        {SqlValue(QStringLiteral("text")), "text:text"},
        {SqlValue(qint64(1) << 40), "integer:1099511627776"},
        {SqlValue(2.5), "real:2.5"},
        {SqlValue(true), "integer:1"},
        {SqlValue(false), "integer:0"},
        {SqlValue(qint32(42)), "text:42"},
        {SqlValue(uuid), "text:6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {SqlValue(QString::fromUtf8("ab\0cd", 5)), "text:ab"},
    };
    qint64 n = 0;
    for (const auto& c : cases)
        db.run(QStringLiteral("INSERT INTO v VALUES (?, ?)"), {++n, c.value});

    Statement rows(db.db(), QStringLiteral("SELECT typeof(x) || ':' || ifnull(x, '') FROM v ORDER BY n"));
    for (const auto& c : cases) {
        ASSERT_TRUE(rows.step());
        EXPECT_EQ(rows.text(0), QString::fromUtf8(c.expected));
    }
    EXPECT_FALSE(rows.step());
}

TEST_F(DatabaseTest, MissingBindsAreNullAndExtraBindsAreIgnored)
{
    db.exec(QStringLiteral("CREATE TABLE t (a, b)"));
    Statement insert(db.db(), QStringLiteral("INSERT INTO t VALUES (?, ?)"));
    insert.bind({1, 2}).step();
    insert.bind({qint64(3)}).step(); // rebinding after a step needs no explicit reset
    db.run(QStringLiteral("INSERT INTO t VALUES (?, ?)"), {qint64(5), qint64(6), qint64(7)});

    Statement rows(db.db(), QStringLiteral("SELECT quote(a) || ',' || quote(b) FROM t ORDER BY rowid"));
    QStringList seen;
    while (rows.step())
        seen << rows.text(0);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("'1','2'"), QStringLiteral("3,NULL"), QStringLiteral("5,6")}));
}

TEST_F(DatabaseTest, ErrorTexts)
{
    db.exec(QStringLiteral("CREATE TABLE u (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)"));
    db.run(QStringLiteral("INSERT INTO u (name) VALUES ('a')"));

    // A failed step reports SQLite's generic text, not the detailed message.
    EXPECT_EQ(descriptionOf([&] { db.run(QStringLiteral("INSERT INTO u (name) VALUES ('a')")); }),
              QString::fromUtf8(sqlite3_errstr(SQLITE_CONSTRAINT)));
    // A failed prepare reports the connection's message.
    EXPECT_EQ(descriptionOf([&] { Statement s(db.db(), QStringLiteral("SELECT nope FROM u")); }),
              QStringLiteral("no such column: nope"));
    EXPECT_EQ(descriptionOf([&] { db.exec(QStringLiteral("CREATE TABLE u (x)")); }),
              QStringLiteral("table u already exists"));
    // A statement that returns rows succeeds through run and its rows are ignored.
    EXPECT_EQ(descriptionOf([&] { db.run(QStringLiteral("SELECT * FROM u")); }), QStringLiteral("<no error>"));
}

TEST_F(DatabaseTest, ExecStopsAtTheFirstFailingStatementKeepingEarlierOnes)
{
    EXPECT_THROW(db.exec(QStringLiteral("CREATE TABLE a (x); CREATE TABLE a (y); CREATE TABLE b (z);")),
                 DatabaseError);
    EXPECT_EQ(typeAndValue(QStringLiteral("SELECT group_concat(name) FROM sqlite_master")), QStringLiteral("a"));
}

TEST_F(DatabaseTest, ReadThatFailsMidwayThrowsInsteadOfEndingEarly)
{
    db.exec(QStringLiteral("CREATE TABLE n (v); INSERT INTO n VALUES (1), (2), ('boom'), (4);"));
    // abs() of the smallest integer overflows at run time, after two rows were read.
    Statement rows(db.db(), QStringLiteral("SELECT CASE WHEN v = 'boom' THEN abs(-9223372036854775807 - 1) ELSE v END "
                                           "FROM n ORDER BY rowid"));
    QList<qint64> seen;
    EXPECT_EQ(descriptionOf([&] {
                  while (rows.step())
                      seen << rows.int64(0);
              }),
              QStringLiteral("integer overflow"));
    EXPECT_EQ(seen, (QList<qint64>{1, 2}));

    Statement none(db.db(), QStringLiteral("SELECT v FROM n WHERE 0"));
    EXPECT_FALSE(none.step());
}

TEST_F(DatabaseTest, ColumnReadersFollowTheNullConventions)
{
    Statement row(db.db(), QStringLiteral("SELECT NULL, NULL, NULL, 1.5, 1, 2"));
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.text(0), QString());
    EXPECT_EQ(row.int64(1), 0);
    EXPECT_EQ(row.optionalReal(2), std::nullopt);
    EXPECT_EQ(row.optionalReal(3), 1.5);
    EXPECT_TRUE(row.boolean(4));
    EXPECT_FALSE(row.boolean(5));
}

TEST_F(DatabaseTest, FailedTransactionCommitsNothingAndTheNextBeginWorks)
{
    db.exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY)"));
    const auto failingWrite = [&] {
        Transaction transaction(db);
        db.run(QStringLiteral("INSERT INTO t VALUES (1)"));
        db.run(QStringLiteral("INSERT INTO t VALUES (1)")); // constraint failure
        transaction.commit();
    };
    EXPECT_THROW(failingWrite(), DatabaseError);
    EXPECT_EQ(typeAndValue(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("0"));

    Transaction next(db);
    db.run(QStringLiteral("INSERT INTO t VALUES (2)"));
    next.commit();
    EXPECT_EQ(typeAndValue(QStringLiteral("SELECT group_concat(id) FROM t")), QStringLiteral("2"));
}

} // namespace
