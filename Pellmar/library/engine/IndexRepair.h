#pragma once

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>

class DatabaseError;
class IndexHealth;
class Library;

// What the program does once its index file turns out damaged (a damaged page, a file that is no
// database, or a file emptied while the previews it named are still there). The writer has stopped
// on its own (IndexHealth); this stops the workers, the change watching and an import, and puts the
// damage in Library::indexDamage, where the window offers Rebuild Index or Quit. Owned by Library.
class IndexRepair {
public:
    // `restart` starts the program again and ends this one.
    IndexRepair(Library& library, std::function<void()> restart);
    IndexRepair(const IndexRepair&) = delete;
    IndexRepair& operator=(const IndexRepair&) = delete;

    // Shared with every connection the Library opens on the index.
    const std::shared_ptr<IndexHealth>& health() const { return health_; }

    // An index file of zero bytes beside a previews folder that holds files lost its contents: it is
    // no new index. Blocks on the disk.
    static bool lostItsContents(const QString& indexPath, const QString& proxyDirectory);

    // Rebuild Index: moves the damaged file (and its log) aside, beside it under a name of its own,
    // and starts the program again, which makes a new index, takes over the sources, workspaces,
    // pins and favorites that the damaged file still gives, and walks the sources again.
    QCoro::Task<> rebuild();
    // At start-up, once the new index has its tables: takes over from the file a rebuild moved aside.
    QCoro::Task<> takeOverFromDamagedFile();

    // The text of an error that keeps the index at `indexPath` from being opened or upgraded: what
    // happened to which file, and, when the disk or the folder is to blame, what the user can do.
    static QString openFailureText(const QString& indexPath, const DatabaseError& error);
    // The text the window shows for a damage of the index at `indexPath`.
    static QString damageText(const QString& indexPath, const QString& description);

    // On the GUI thread, from the health's report: everything that would write stops, and the
    // window is told. Only the first report counts.
    void stopForDamage(const QString& description);

private:
    Library& library_;
    std::shared_ptr<IndexHealth> health_;
    std::function<void()> restart_;
};
