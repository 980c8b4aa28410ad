#include "Pellmar/library/engine/ReadingMarks.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

// A slot is one line of fixed length: "file <row id>" or "item <item id>", padded with spaces.
constexpr qsizetype slotLength = 128;

QByteArray blankSlot()
{
    QByteArray line(slotLength, ' ');
    line.back() = '\n';
    return line;
}

} // namespace

const QString ReadingMarks::endedWhileReadText = QStringLiteral("the program ended while reading this file");

ReadingMarks::Mark::Mark(Mark&& other) noexcept
    : marks_(std::exchange(other.marks_, nullptr))
    , slot_(std::exchange(other.slot_, -1))
{
}

ReadingMarks::Mark::~Mark()
{
    if (marks_)
        marks_->release(slot_);
}

ReadingMarks::ReadingMarks(const QString& path)
{
    descriptor_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor_ < 0)
        return;
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > 1024 * slotLength) {
        ::close(descriptor_);
        descriptor_ = -1;
        return;
    }
    QByteArray contents(qsizetype(status.st_size), Qt::Uninitialized);
    if (::pread(descriptor_, contents.data(), size_t(contents.size()), 0) != contents.size())
        contents.clear();
    for (qsizetype start = 0; start + slotLength <= contents.size(); start += slotLength) {
        const QByteArray line = contents.mid(start, slotLength).trimmed();
        used_.push_back(!line.isEmpty());
        if (line.startsWith("file ")) {
            bool ok = false;
            const qint64 id = line.mid(5).toLongLong(&ok);
            if (ok)
                left_.fileIDs.append(id);
        } else if (line.startsWith("item ")) {
            left_.itemIDs.append(QString::fromUtf8(line.mid(5)));
        }
    }
    leftSlots_ = int(used_.size());
}

ReadingMarks::~ReadingMarks()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

void ReadingMarks::forgetLeft()
{
    const std::lock_guard locker(lock_);
    for (int slot = 0; slot < leftSlots_; ++slot) {
        if (used_[size_t(slot)]) {
            write(slot, blankSlot());
            used_[size_t(slot)] = false;
        }
    }
    left_ = {};
}

ReadingMarks::Mark ReadingMarks::markFile(qint64 fileID)
{
    return mark("file " + QByteArray::number(fileID));
}

ReadingMarks::Mark ReadingMarks::markItem(const QString& itemID)
{
    return mark("item " + itemID.toUtf8());
}

ReadingMarks::Mark ReadingMarks::mark(const QByteArray& text)
{
    if (descriptor_ < 0 || text.size() >= slotLength || text.contains('\n'))
        return {};
    const std::lock_guard locker(lock_);
    size_t slot = 0;
    while (slot < used_.size() && used_[slot])
        ++slot;
    if (slot == used_.size())
        used_.push_back(true);
    used_[slot] = true;
    QByteArray line = blankSlot();
    line.replace(0, text.size(), text);
    write(int(slot), line);
    return Mark(this, int(slot));
}

void ReadingMarks::write(int slot, const QByteArray& line)
{
    // The mark only has to outlive the process, not the machine: no sync.
    [[maybe_unused]] const ssize_t written = ::pwrite(descriptor_, line.constData(), size_t(line.size()), off_t(slot) * slotLength);
}

void ReadingMarks::release(int slot)
{
    const std::lock_guard locker(lock_);
    write(slot, blankSlot());
    used_[size_t(slot)] = false;
}
