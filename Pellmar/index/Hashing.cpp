#include "Pellmar/index/Hashing.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fts.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
    {
        EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr);
    }

    void feed(const void* data, size_t length) { EVP_DigestUpdate(context_.get(), data, length); }

    void feedLittleEndian(qint64 value)
    {
        unsigned char bytes[8];
        auto bits = quint64(value);
        for (unsigned char& byte : bytes) {
            byte = static_cast<unsigned char>(bits & 0xff);
            bits >>= 8;
        }
        feed(bytes, sizeof bytes);
    }

    QByteArray finish()
    {
        QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_.get(), reinterpret_cast<unsigned char*>(digest.data()), &length);
        digest.resize(length);
        return digest;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

} // namespace

QString quickHash(const QString& path, qint64 size, const std::optional<QByteArray>& prefix)
{
    const QByteArray data = prefix ? prefix->left(quickHashPrefixLength) : RegularFile(path).readHead(quickHashPrefixLength);
    Sha256 sha;
    sha.feedLittleEndian(size);
    sha.feed(data.constData(), size_t(data.size()));
    return hexString(sha.finish());
}

QString tailHash(const QString& path, qint64 size)
{
    const RegularFile file(path);
    file.require();
    const qint64 start = std::max<qint64>(0, size - quickHashPrefixLength);
    if (::lseek(file.descriptor(), off_t(start), SEEK_SET) < 0)
        throw FileError(path, errno);
    return sha256Text(file.readHead(quickHashPrefixLength));
}

namespace {

constexpr qint64 comparedChunk = 1 << 20;

} // namespace

bool sameContent(const QString& first, const QString& second)
{
    const RegularFile a(first);
    const RegularFile b(second);
    a.require();
    b.require();
    if (a.status().st_size != b.status().st_size)
        return false;
    for (;;) {
        const QByteArray chunkA = a.readHead(comparedChunk);
        const QByteArray chunkB = b.readHead(comparedChunk);
        if (chunkA != chunkB)
            return false;
        if (chunkA.size() < comparedChunk)
            return true;
    }
}

QString contentHash(const QString& path)
{
    const RegularFile file(path);
    file.require();
    Sha256 sha;
    for (;;) {
        const QByteArray chunk = file.readHead(comparedChunk);
        sha.feed(chunk.constData(), size_t(chunk.size()));
        if (chunk.size() < comparedChunk)
            return hexString(sha.finish());
    }
}

QString folderHash(const QString& path, qint64 seed)
{
    Sha256 sha;
    sha.feedLittleEndian(seed);

    const QString root = QDir::cleanPath(path);
    const QByteArray nativeRoot = QFile::encodeName(root);
    char* roots[] = {const_cast<char*>(nativeRoot.constData()), nullptr};

    // FTS_PHYSICAL: symbolic links are reported as links, never followed.
    QList<QByteArray> entries;
    if (FTS* tree = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr)) {
        while (FTSENT* entry = fts_read(tree)) {
            // Only what lies below the root: a root that is a file itself has no entries.
            if (entry->fts_info != FTS_F || entry->fts_level == FTS_ROOTLEVEL)
                continue;
            const QString entryPath = QFile::decodeName(QByteArray(entry->fts_path, entry->fts_pathlen));
            const QString text = entryPath.mid(root.size()) + QLatin1Char('|')
                + QString::number(qint64(entry->fts_statp->st_size));
            entries.append(text.normalized(QString::NormalizationForm_C).toUtf8());
        }
        fts_close(tree);
    }

    // Byte order of UTF-8 is code-point order.
    std::sort(entries.begin(), entries.end());
    for (const QByteArray& entry : entries)
        sha.feed(entry.constData(), size_t(entry.size()));
    return hexString(sha.finish());
}

QString sha256Text(const QByteArray& bytes)
{
    Sha256 sha;
    sha.feed(bytes.constData(), size_t(bytes.size()));
    return hexString(sha.finish());
}

QString hexString(const QByteArray& digest)
{
    return QString::fromLatin1(digest.toHex());
}
