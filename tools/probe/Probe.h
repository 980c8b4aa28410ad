#pragma once

#include "Pellmar/index/Model.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

// A subcommand of quorvin-probe. Each command file registers its commands with a static
// ProbeCommand, so adding a command touches no shared file.
struct ProbeIo {
    QTextStream& out;
    QTextStream& err;
};

using ProbeFunction = std::function<int(const QStringList& args, ProbeIo& io)>;

class ProbeCommand {
public:
    ProbeCommand(QString name, QString usage, ProbeFunction function);

    static const ProbeCommand* find(const QString& name);
    static QStringList usages();

    const QString name;
    const QString usage;
    const ProbeFunction function;
};

// Prints "usage: quorvin-probe <usage>" and returns the exit code for bad arguments.
int probeUsage(const ProbeCommand& command, ProbeIo& io);

// The media kind named "photo", "video", "audio" or "document"; nothing for any other name.
std::optional<MediaKind> mediaKindNamed(const QString& name);
