#include "Pellmar/views/kit/Icons.h"

#include "Pellmar/views/kit/ViewLog.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>

#include <array>
#include <cmath>

namespace {

enum class Badge { none, checkmark, exclamationmark };

struct Symbol {
    const char* name;
    const char* file;   // in :/icons, without ".svg"
    Badge badge = Badge::none;
};

// Each symbol name the views use, and the file of the icon set that draws it.
constexpr std::array symbols{
    // Controls
    Symbol{"xmark", "x"},
    Symbol{"xmark.circle.fill", "circle-x-filled"},
    Symbol{"exclamationmark.circle.fill", "alert-circle-filled"},
    Symbol{"magnifyingglass", "search"},
    Symbol{"line.3.horizontal.decrease", "filter"},
    Symbol{"arrow.up.arrow.down", "arrows-sort"},
    Symbol{"arrow.up", "arrow-up"},
    Symbol{"plus", "plus"},
    Symbol{"minus.circle", "circle-minus"},
    Symbol{"chevron.right", "chevron-right"},
    Symbol{"square", "square"},
    Symbol{"checkmark.square.fill", "square-check-filled"},
    Symbol{"minus.square.fill", "square-minus-filled"},
    Symbol{"eject.fill", "player-eject-filled"},
    Symbol{"gearshape", "settings"},
    Symbol{"sidebar.left", "layout-sidebar"},
    Symbol{"plus.rectangle.on.rectangle", "library-plus"},
    // Places and drives
    Symbol{"laptopcomputer", "device-laptop"},
    Symbol{"icloud", "cloud"},
    Symbol{"icloud.and.arrow.down", "cloud-download"},
    Symbol{"photo.on.rectangle", "library-photo"},
    Symbol{"externaldrive", "server"},
    Symbol{"externaldrive.badge.checkmark", "server", Badge::checkmark},
    Symbol{"externaldrive.badge.exclamationmark", "server", Badge::exclamationmark},
    Symbol{"internaldrive", "database"},
    Symbol{"sdcard", "device-sd-card"},
    Symbol{"folder", "folder"},
    Symbol{"house", "home"},
    Symbol{"rectangle.stack", "stack-2"},
    Symbol{"checkmark.shield", "shield-check"},
    // Smart groups and kinds
    Symbol{"heart", "heart"},
    Symbol{"star", "star"},
    Symbol{"clock", "clock"},
    Symbol{"photo", "photo"},
    Symbol{"video", "video"},
    Symbol{"film", "movie"},
    Symbol{"waveform", "waveform"},
    Symbol{"camera.aperture", "aperture"},
    Symbol{"camera.viewfinder", "photo-scan"},
    // The workspace symbols that are not above
    Symbol{"briefcase", "briefcase"},
    Symbol{"hammer", "hammer"},
    Symbol{"wrench.and.screwdriver", "tools"},
    Symbol{"iphone", "device-mobile"},
    Symbol{"paintbrush", "brush"},
    Symbol{"pencil.and.ruler", "ruler-2"},
    Symbol{"chart.bar", "chart-bar"},
    Symbol{"dollarsign.circle", "coin"},
    Symbol{"building.2", "buildings"},
    Symbol{"camera", "camera"},
    Symbol{"music.note", "music"},
    Symbol{"mic", "microphone"},
    Symbol{"book", "book"},
    Symbol{"newspaper", "news"},
    Symbol{"person.2", "users"},
    Symbol{"pawprint", "paw"},
    Symbol{"leaf", "leaf"},
    Symbol{"fork.knife", "tools-kitchen-2"},
    Symbol{"bag", "shopping-bag"},
    Symbol{"cart", "shopping-cart"},
    Symbol{"gamecontroller", "device-gamepad-2"},
    Symbol{"airplane", "plane"},
    Symbol{"car", "car"},
    Symbol{"bicycle", "bike"},
    Symbol{"map", "map"},
    Symbol{"globe", "world"},
    Symbol{"mountain.2", "mountain"},
    Symbol{"sailboat", "sailboat"},
    Symbol{"archivebox", "archive"},
    Symbol{"cloud", "cloud"},
    Symbol{"tray.full", "inbox"},
    Symbol{"sparkles", "sparkles"},
};

const Symbol* findSymbol(const QString& name)
{
    for (const Symbol& symbol : symbols) {
        if (name == QLatin1String(symbol.name))
            return &symbol;
    }
    return nullptr;
}

QString filePath(const char* file)
{
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(file));
}

// The SVG text of a file with its drawing colour replaced; the set draws in "currentColor".
QByteArray coloredSvg(const char* file, const QColor& color)
{
    static QMutex lock;
    static QHash<QString, QByteArray> sources;
    const QString path = filePath(file);
    QByteArray source;
    {
        QMutexLocker locker(&lock);
        auto found = sources.find(path);
        if (found == sources.end()) {
            QFile svg(path);
            svg.open(QIODevice::ReadOnly);
            found = sources.insert(path, svg.readAll());
        }
        source = *found;
    }
    return source.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
}

void drawFile(QPainter& painter, const char* file, const QColor& color, const QRectF& area)
{
    QSvgRenderer renderer(coloredSvg(file, color));
    painter.save();
    painter.setOpacity(color.alphaF());
    renderer.render(&painter, area);
    painter.restore();
}

void logUnknownOnce(const QString& name)
{
    static QMutex lock;
    static QSet<QString> logged;
    QMutexLocker locker(&lock);
    if (!logged.contains(name)) {
        logged.insert(name);
        qCWarning(logViews, "no icon for the symbol \"%s\"", qUtf8Printable(name));
    }
}

QImage render(const QString& name, int size, const QColor& color, qreal devicePixelRatio)
{
    const int pixels = std::max(1, int(std::lround(size * devicePixelRatio)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF whole(0, 0, pixels, pixels);
    const Symbol* symbol = findSymbol(name);
    if (!symbol) {
        logUnknownOnce(name);
        drawFile(painter, "square", color, whole);
    } else if (symbol->badge == Badge::none) {
        drawFile(painter, symbol->file, color, whole);
    } else {
        // The base symbol with a round badge at its lower right, cut out of the base so that the
        // two stay apart at small sizes.
        drawFile(painter, symbol->file, color, whole);
        const qreal badge = pixels * 0.58;
        const QRectF badgeArea(pixels - badge, pixels - badge, badge, badge);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(badgeArea.adjusted(-pixels * 0.06, -pixels * 0.06, 0, 0));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        drawFile(painter, symbol->badge == Badge::checkmark ? "circle-check-filled" : "alert-circle-filled", color,
                 badgeArea);
    }
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QColor colorForMode(const QColor& given, QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    if (given.isValid()) {
        if (mode != QIcon::Disabled)
            return given;
        QColor faded = given;
        faded.setAlphaF(given.alphaF() * 0.35);
        return faded;
    }
    switch (mode) {
    case QIcon::Disabled:
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case QIcon::Selected:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    default:
        return palette.color(QPalette::Active, QPalette::WindowText);
    }
}

// Draws the symbol at whatever size and mode Qt asks for, so one QIcon serves every size and
// follows palette changes.
class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(QString symbol, QColor color)
        : symbol_(std::move(symbol))
        , color_(std::move(color))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const int side = std::min(rect.width(), rect.height());
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap drawn = Icons::pixmap(symbol_, side, colorForMode(color_, mode), ratio);
        const QPoint origin(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
        painter->drawPixmap(QRect(origin, QSize(side, side)), drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        return Icons::pixmap(symbol_, std::min(size.width(), size.height()), colorForMode(color_, mode));
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        return Icons::pixmap(symbol_, int(std::min(size.width(), size.height()) / scale), colorForMode(color_, mode),
                             scale);
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(symbol_, color_); }
    QString key() const override { return QStringLiteral("quorvin-symbol"); }
    QString iconName() override { return symbol_; }

private:
    QString symbol_;
    QColor color_;
};

} // namespace

namespace Icons {

QIcon icon(const QString& symbol, const QColor& color)
{
    return QIcon(new SymbolIconEngine(symbol, color));
}

QPixmap pixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio)
{
    const QString key = QStringLiteral("quorvin-symbol|%1|%2|%3|%4")
                            .arg(symbol)
                            .arg(size)
                            .arg(color.name(QColor::HexArgb))
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    cached = QPixmap::fromImage(render(symbol, size, color, devicePixelRatio));
    QPixmapCache::insert(key, cached);
    return cached;
}

bool isKnown(const QString& symbol)
{
    return findSymbol(symbol) != nullptr;
}

QStringList knownSymbols()
{
    QStringList names;
    for (const Symbol& symbol : symbols)
        names.append(QLatin1String(symbol.name));
    return names;
}

QString resourcePath(const QString& symbol)
{
    const Symbol* found = findSymbol(symbol);
    return found ? filePath(found->file) : QString();
}

QString placeSymbol(int placeRank)
{
    switch (placeRank) {
    case 0: return QStringLiteral("laptopcomputer");
    case 1: return QStringLiteral("icloud");
    case 2: return QStringLiteral("photo.on.rectangle");
    default: return QStringLiteral("externaldrive");
    }
}

} // namespace Icons
