#include "Pellmar/index/IndexScope.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

QStringList texts(const SqlValues& values)
{
    QStringList list;
    for (const SqlValue& value : values)
        list.append(std::get<QString>(value.storage()));
    return list;
}

TEST(ScopeKey, SplitsAtTheFirstBarAndAnEmptyPathMeansTheWholeSource)
{
    struct Case {
        QString key;
        QString source;
        QString path;
    };
    for (const Case& c : {Case{"A", "A", ""}, Case{"A|", "A", ""}, Case{"A|x/y", "A", "x/y"}, Case{"A|x|y", "A", "x|y"},
                          Case{"A|#favorites", "A", "#favorites"}, Case{"", "", ""}}) {
        const ScopeKey key = ScopeKey::parse(c.key);
        EXPECT_EQ(key.sourceID, c.source) << c.key.toStdString();
        EXPECT_EQ(key.path, c.path) << c.key.toStdString();
    }
}

TEST(ScopeClause, JoinsBareSourcesAndParenthesisedFoldersInKeyOrder)
{
    const SqlClause scope = scopeClause({"A", "B|x/y", "C|"});
    EXPECT_EQ(scope.text,
              "(source_id = ? OR (source_id = ? AND rel_path >= ? AND rel_path < ?) OR source_id = ?)");
    EXPECT_EQ(texts(scope.values), QStringList({"A", "B", "x/y/", "x/y0", "C"}));

    const SqlClause none = scopeClause({});
    EXPECT_EQ(none.text, "0 = 1");
    EXPECT_TRUE(none.values.empty());
}

TEST(FilterClauses, PiecesAndValuesStandInOrder)
{
    ViewFilter filter;
    EXPECT_EQ(filterClauses(filter).text, "");

    filter.favoritesWorkspace = "w";
    filter.kind = MediaKind::audio;
    filter.notBackedUp = true;
    filter.source = "P";
    filter.path = "Album";
    filter.smart = SmartFilter::recents;
    filter.onlyHere = true;
    const double before = QDateTime::currentSecsSinceEpoch() - 7776000.0;
    const SqlClause clause = filterClauses(filter);

    const QString expected =
        " AND (id IN (SELECT item_id FROM favorites WHERE workspace_id = ?) OR id IN (SELECT item_id FROM files WHERE "
        "asset_id != '' AND favorite = 1 AND item_id IS NOT NULL)) AND kind = 2"
        + loneCopyClause()
        + " AND id IN (SELECT item_id FROM files WHERE source_id = ? AND rel_path >= ? AND rel_path < ? AND item_id IS "
          "NOT NULL) AND captured_at >= ? AND NOT EXISTS (SELECT 1 FROM files AS other WHERE other.item_id = items.id "
          "AND other.quick_hash IS NOT NULL AND NOT (source_id = ? AND rel_path >= ? AND rel_path < ?))";
    EXPECT_EQ(clause.text, expected);
    ASSERT_EQ(clause.values.size(), 8u);
    // The recents date stands after the folder values and before the only-here values.
    const double since = std::get<double>(clause.values[4].storage());
    EXPECT_GE(since, before - 1);
    EXPECT_LE(since, before + 60);
    SqlValues texted = clause.values;
    texted.erase(texted.begin() + 4);
    EXPECT_EQ(texts(texted), QStringList({"w", "P", "Album/", "Album0", "P", "Album/", "Album0"}));
}

TEST(FilterClauses, SmartGroupsAndOnlyHereNeedASource)
{
    ViewFilter filter;
    filter.smart = SmartFilter::screenshots;
    filter.onlyHere = true;
    EXPECT_EQ(filterClauses(filter).text, "");

    filter.scope = QStringList{"A"};
    const SqlClause scoped = filterClauses(filter);
    EXPECT_EQ(scoped.text, " AND id IN (SELECT item_id FROM files WHERE (source_id = ?) AND item_id IS NOT NULL)");
    EXPECT_EQ(texts(scoped.values), QStringList({"A"}));

    // With a source the scope list is not used.
    filter.source = "P";
    filter.onlyHere = false;
    const SqlClause smart = filterClauses(filter);
    EXPECT_EQ(smart.text,
              " AND id IN (SELECT item_id FROM files WHERE source_id = ? AND (subtype & 4) != 0 AND item_id IS NOT NULL)");
    EXPECT_EQ(texts(smart.values), QStringList({"P"}));
}

TEST(MatchQuery, SplitsWordsAtEveryCharacterThatIsNeitherLetterNorNumber)
{
    struct Case {
        QString text;
        std::optional<QString> match;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {" ,.;!? -- \"'", std::nullopt},
        {"C3PO", R"("C3PO"*)"},
        {"e-mail", R"("e"* "mail"*)"},
        {"  Beach   Café  ", R"("Beach"* "Café"*)"},
        {"東京タワー", R"("東京タワー"*)"},
        {"Ελλάδα_2024", R"("Ελλάδα"* "2024"*)"},
        {"\"quoted\" text", R"("quoted"* "text"*)"},
        // A combining accent belongs to the character it follows: after a letter it stays in
        // the word, after a separator it is part of the separator.
        {"e\u0301te -\u0301x", "\"e\u0301te\"* \"x\"*"},
        // Numbers of any script, and letters that are not of the Latin script.
        {"½ ٣ Ⓐ", R"("½"* "٣"* "Ⓐ"*)"},
        {"a😀b", R"("a"* "b"*)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matchQuery(c.text), c.match) << c.text.toStdString();
}

TEST(Placeholders, OneQuestionMarkPerValue)
{
    EXPECT_EQ(placeholders(1), "?");
    EXPECT_EQ(placeholders(3), "?, ?, ?");
}

TEST(ForEachBatch, CutsIntoConsecutiveSlicesOfAtMostFiveHundred)
{
    QList<int> list(1001);
    std::iota(list.begin(), list.end(), 0);
    QList<qsizetype> sizes;
    QList<int> seen;
    forEachBatch(list, [&](const QList<int>& batch) {
        sizes.append(batch.size());
        seen.append(batch);
    });
    EXPECT_EQ(sizes, QList<qsizetype>({500, 500, 1}));
    EXPECT_EQ(seen, list);

    int calls = 0;
    forEachBatch(QList<int>(), [&](const QList<int>&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

} // namespace
