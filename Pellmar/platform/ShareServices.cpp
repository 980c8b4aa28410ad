#include "Pellmar/platform/ShareServices.h"

#include "Pellmar/platform/Desktop.h"

#include <QProcess>
#include <QStandardPaths>

ShareServices::ShareServices(std::shared_ptr<Desktop> desktop, QString emailProgram)
    : desktop_(std::move(desktop))
    , emailProgram_(std::move(emailProgram))
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
    // Each path is an argument of its own, never read by a shell; the paths are absolute, so none
    // is taken for an option.
    QStringList arguments;
    for (const QString& path : filePaths)
        arguments << QStringLiteral("--attach") << path;
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
