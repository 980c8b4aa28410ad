#include "tools/shots/SettingsShots.h"

#include "tools/shots/Fixture.h"

#include "Pellmar/views/settings/IndexSettings.h"
#include "Pellmar/views/settings/SettingsWindow.h"

#include <QDir>
#include <QFile>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>

namespace {

const QStringList pages{"general", "sidebar", "previews", "index"};

FolderNode folder(const QString& path, const QString& name)
{
    FolderNode node;
    node.id = QStringLiteral("HOME|") + path;
    node.sourceID = QStringLiteral("HOME");
    node.path = path;
    node.name = name;
    return node;
}

// Pins of the sidebar, a hidden group, and an index file and a few previews to measure.
void fillSettings(Fixture& fixture)
{
    Library& library = *fixture.library;
    FolderNode root = folder(QString(), QStringLiteral("Pictures"));
    root.children = {folder(QStringLiteral("2026"), QStringLiteral("2026")),
                     folder(QStringLiteral("2026/Winter"), QStringLiteral("Winter"))};
    library.setTrees({root});
    library.setPinned({QStringLiteral("HOME|2026/Winter"), QStringLiteral("HOME|"), QStringLiteral("HOME|Old Scans")});
    library.setSmartHidden(SmartFilter::screenshots, true);
    QDir().mkpath(library.proxyDirectory());
    QFile preview(QDir(library.proxyDirectory()).filePath(QStringLiteral("A.heic")));
    if (preview.open(QIODevice::WriteOnly))
        preview.write(QByteArray(3'400'000, 'x'));
}

} // namespace

QStringList settingsStates()
{
    QStringList states;
    for (const QString& page : pages)
        states.append(QStringLiteral("settings-") + page);
    return states;
}

bool shootSettings(const QString& state, const QString& folder, QTextStream& out, QTextStream& err)
{
    Fixture fixture;
    fixture.fillPlaces();
    fillSettings(fixture);
    SettingsWindow* window = fixture.application->showSettings();
    window->tabBar().setCurrentIndex(int(pages.indexOf(state.mid(QStringLiteral("settings-").size()))));
    if (!QTest::qWaitForWindowExposed(window)) {
        err << "quorvin-shots: the Settings window of " << state << " did not show" << Qt::endl;
        return false;
    }
    if (auto* index = qobject_cast<IndexSettings*>(window->pages().currentWidget()))
        if (!QTest::qWaitFor([index] { return index->sizes().previews > 0; }, 5000))
            err << "quorvin-shots: the sizes of " << state << " were not measured" << Qt::endl;
    QTest::qWait(50);   // the last paint

    const QString path = QDir(folder).filePath(state + QStringLiteral(".png"));
    if (!window->grab().save(path)) {
        err << "quorvin-shots: cannot write " << path << Qt::endl;
        return false;
    }
    out << path << Qt::endl;
    return true;
}
