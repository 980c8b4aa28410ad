#include "Pellmar/media/SearchText.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

TEST(SearchText, JoinsTheNonEmptyPartsInOrder)
{
    const double noon = double(QDateTime(QDate(2021, 3, 14), QTime(12, 0), QTimeZone::systemTimeZone()).toSecsSinceEpoch());
    Item photo{.kind = MediaKind::photo, .filename = QStringLiteral("IMG 1.jpg"), .capturedAt = noon,
               .camera = QStringLiteral("Canon EOS R5"), .lens = QStringLiteral("RF 24-70")};
    const Source drive{.name = QStringLiteral("Trips"), .volumeName = QStringLiteral("Backup Disk")};
    const Source home{.name = QStringLiteral("Home")};
    const Source root{.name = QStringLiteral("Home"), .volumeName = QStringLiteral("/")};
    Item document{.kind = MediaKind::document, .filename = QStringLiteral("notes.pdf"),
                  .uti = QStringLiteral("application/pdf")};
    Item untyped = document;
    untyped.uti.clear();

    struct Case {
        const char* what;
        Item item;
        QString relativePath;
        Source source;
        QString fileType;
        QString text;
    };
    const Case cases[] = {
        {"every part", photo, QStringLiteral("2021/Rome day 1/IMG 1.jpg"), drive, {},
         QStringLiteral("IMG 1.jpg 2021 Rome day 1 Trips Backup Disk Canon EOS R5 RF 24-70 Photo 2021 March 14 Sunday")},
        {"a file at the root, no volume, camera or date", Item{.kind = MediaKind::video, .filename = QStringLiteral("a.mov")},
         QStringLiteral("a.mov"), home, {}, QStringLiteral("a.mov Home Video")},
        {"the root file system without a label gives no volume word",
         Item{.kind = MediaKind::video, .filename = QStringLiteral("a.mov")}, QStringLiteral("a.mov"), root, {},
         QStringLiteral("a.mov Home Video")},
        {"a document by its type", document, QStringLiteral("notes.pdf"), home, {},
         QStringLiteral("notes.pdf Home PDF document Document")},
        {"a document of no type takes the file's", untyped, QStringLiteral("notes.pdf"), home,
         QStringLiteral("application/pdf"), QStringLiteral("notes.pdf Home PDF document Document")},
        {"a type that is not known", untyped, QStringLiteral("notes.pdf"), home, QStringLiteral("no/such-type"),
         QStringLiteral("notes.pdf Home Document")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        EXPECT_EQ(itemSearchText(test.item, test.relativePath, test.source, test.fileType), test.text);
    }
}

} // namespace
