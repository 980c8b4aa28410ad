#include "Pellmar/index/Index.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

namespace {

// Collects the lines logged in the "index" category while it lives.
class IndexLogCapture {
public:
    IndexLogCapture()
    {
        std::lock_guard lock(mutex);
        lines.clear();
        previous = qInstallMessageHandler(&IndexLogCapture::handle);
    }
    ~IndexLogCapture() { qInstallMessageHandler(previous); }

    QStringList take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(lines, {});
    }

private:
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        if (QLatin1String(context.category) != QLatin1String("com.davrenoskil.quorvin.index"))
            return;
        std::lock_guard lock(mutex);
        lines.append(message);
    }

    static inline std::mutex mutex;
    static inline QStringList lines;
    QtMessageHandler previous = nullptr;
};

QStringList schemaOf(Database& db)
{
    Statement statement(db.db(), QStringLiteral("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY name"));
    QStringList statements;
    while (statement.step())
        statements.append(statement.text(0) + QLatin1Char(';'));
    return statements;
}

qint64 integer(Database& db, const QString& sql)
{
    Statement statement(db.db(), sql);
    return statement.step() ? statement.int64(0) : -1;
}

class SchemaTest : public ::testing::Test {
protected:
    bool migrate(Index& index) { return waitFor(index.run([](Index& ix) { return ix.migrate(); })); }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("index.sqlite"));
};

TEST_F(SchemaTest, NewFileGetsTheVersion8SchemaOfTheGoldenFile)
{
    // The golden file is what `sqlite3 index.sqlite "SELECT sql || ';' FROM sqlite_master WHERE sql IS NOT NULL
    // ORDER BY name"` prints for a new index; a deliberate schema change regenerates it.
    QFile golden(QStringLiteral(QUORVIN_TEST_DATA "/data/schema.sql"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));

    IndexLogCapture log;
    Index index(path);
    EXPECT_FALSE(migrate(index));
    const QStringList lines = log.take();

    Database& db = index.database();
    EXPECT_EQ(schemaOf(db).join(QLatin1Char('\n')) + QLatin1Char('\n'), QString::fromUtf8(golden.readAll()));
    EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 8);
    Statement workspace(db.db(), QStringLiteral("SELECT id, name, symbol, tint, position FROM workspaces"));
    ASSERT_TRUE(workspace.step());
    EXPECT_EQ(QStringList({workspace.text(0), workspace.text(1), workspace.text(2), workspace.text(3),
                           QString::number(workspace.int64(4))}),
              QStringList({"everything", "Everything", "house", "accent", "0"}));
    EXPECT_FALSE(workspace.step());

    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("migrate full path from version 0: user_version "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("migrate full path finished in "))) << lines[1].toStdString();
}

TEST_F(SchemaTest, SecondRunTakesTheFastPathAndWritesNothing)
{
    {
        Index writer(path);
        migrate(writer);
    }
    // A connection that refuses writes shows that the fast path writes nothing.
    Index reader(path, Index::Access::readOnly);

    IndexLogCapture log;
    EXPECT_FALSE(migrate(reader));
    const QStringList lines = log.take();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(
                    R"(^migrate fast path at version 8: user_version \d+\.\d\d ms, table probe \d+\.\d\d ms, total \d+\.\d\d ms$)"))
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
}

} // namespace
