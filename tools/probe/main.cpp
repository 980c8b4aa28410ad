#include "tools/probe/Probe.h"

#include <QCoreApplication>

#include <exception>
#include <map>

namespace {

std::map<QString, const ProbeCommand*>& registry()
{
    static std::map<QString, const ProbeCommand*> commands;
    return commands;
}

} // namespace

ProbeCommand::ProbeCommand(QString name, QString usage, ProbeFunction function)
    : name(std::move(name))
    , usage(std::move(usage))
    , function(std::move(function))
{
    registry()[this->name] = this;
}

const ProbeCommand* ProbeCommand::find(const QString& name)
{
    const auto found = registry().find(name);
    return found == registry().end() ? nullptr : found->second;
}

QStringList ProbeCommand::usages()
{
    QStringList lines;
    for (const auto& [name, command] : registry())
        lines.append(name + QLatin1Char(' ') + command->usage);
    return lines;
}

int probeUsage(const ProbeCommand& command, ProbeIo& io)
{
    io.err << "usage: quorvin-probe " << command.name << ' ' << command.usage << Qt::endl;
    return 2;
}

std::optional<MediaKind> mediaKindNamed(const QString& name)
{
    const QStringList names{"photo", "video", "audio", "document"};
    const qsizetype raw = names.indexOf(name);
    return raw < 0 ? std::nullopt : mediaKindFromRawValue(raw);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    ProbeIo io{out, err};

    QStringList args = app.arguments().mid(1);
    const ProbeCommand* command = args.isEmpty() ? nullptr : ProbeCommand::find(args.takeFirst());
    if (!command) {
        err << "usage: quorvin-probe COMMAND [ARGS]\ncommands:\n";
        for (const QString& line : ProbeCommand::usages())
            err << "  " << line << '\n';
        err.flush();
        return 2;
    }
    try {
        return command->function(args, io);
    } catch (const std::exception& error) {
        err << QString::fromUtf8(error.what()) << Qt::endl;
        return 1;
    }
}
