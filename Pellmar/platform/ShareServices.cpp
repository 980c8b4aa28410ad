#include "Pellmar/platform/ShareServices.h"

#include "Pellmar/platform/Desktop.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUuid>

namespace {

// An e-mail is written for a while after its program starts; its links are kept a day.
constexpr qint64 attachmentLinkLifeSeconds = 24 * 60 * 60;

// "<n>.<extension>", the extension kept only when it is a plain one.
QString neutralName(qsizetype number, const QString& path)
{
    static const QRegularExpression plainExtension(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const QString extension = QFileInfo(path).suffix();
    const QString name = QString::number(number);
    return plainExtension.match(extension).hasMatch() ? name + u'.' + extension : name;
}

void removeOldShares(const QString& folder)
{
    const QDateTime oldest = QDateTime::currentDateTime().addSecs(-attachmentLinkLifeSeconds);
    for (const QFileInfo& share : QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (share.lastModified() < oldest)
            QDir(share.filePath()).removeRecursively();   // removes the links, never what they point at
    }
}

// Links with neutral names to `filePaths`, in a new folder inside `folder`; nothing when one
// cannot be made.
std::optional<QStringList> attachmentLinks(const QString& folder, const QStringList& filePaths)
{
    removeOldShares(folder);
    const QString share = folder + u'/' + QUuid::createUuid().toString(QUuid::Id128);
    if (!QDir().mkdir(share))
        return std::nullopt;
    QStringList links;
    for (qsizetype i = 0; i < filePaths.size(); ++i) {
        const QString link = share + u'/' + neutralName(i + 1, filePaths[i]);
        if (!QFile::link(filePaths[i], link))
            return std::nullopt;
        links.append(link);
    }
    return links;
}

} // namespace

ShareServices::ShareServices(std::shared_ptr<Desktop> desktop, QString emailProgram, AttachmentFolder attachmentFolder)
    : desktop_(std::move(desktop))
    , emailProgram_(std::move(emailProgram))
    , attachmentFolder_(std::move(attachmentFolder))
{
}

QString ShareServices::findEmailProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

QString ShareServices::title(Service service)
{
    switch (service) {
    case Service::copy: return QStringLiteral("Copy");
    case Service::email: return QStringLiteral("Email");
    }
    return {};
}

QList<ShareServices::Service> ShareServices::available() const
{
    QList<Service> services{Service::copy};
    if (!emailProgram_.isEmpty())
        services.append(Service::email);
    return services;
}

void ShareServices::share(Service service, const QStringList& filePaths) const
{
    if (filePaths.isEmpty())
        return;
    if (service == Service::copy) {
        desktop_->copyObjects(filePaths, {});
        return;
    }
    if (emailProgram_.isEmpty())
        return;
    const std::optional<QString> folder = attachmentFolder_ ? attachmentFolder_() : std::nullopt;
    const std::optional<QStringList> links = folder ? attachmentLinks(*folder, filePaths) : std::nullopt;
    if (!links) {
        qWarning("cannot link the attachments of an e-mail in a private folder");
        return;
    }
    // Each link is an argument of its own, never read by a shell; the links are absolute, so none
    // is taken for an option.
    QStringList arguments;
    for (const QString& link : *links)
        arguments << QStringLiteral("--attach") << link;
    auto* process = new QProcess;
    process->setProgram(emailProgram_);
    process->setArguments(arguments);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qWarning("cannot start %s: %s", qUtf8Printable(process->program()), qUtf8Printable(process->errorString()));
        process->deleteLater();
    });
    process->start();
}
