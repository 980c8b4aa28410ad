#include "Pellmar/views/kit/WorkspaceColor.h"

#include <array>

namespace {

struct Tint {
    const char* name;
    QRgb color;
};

constexpr std::array tints{
    Tint{"blue", 0x007aff}, Tint{"purple", 0xaf52de}, Tint{"pink", 0xff2d55}, Tint{"red", 0xff3b30},
    Tint{"orange", 0xff9500}, Tint{"yellow", 0xffcc00}, Tint{"green", 0x28cd41}, Tint{"gray", 0x8e8e93},
};

} // namespace

QColor workspaceColor(const QString& tint, const QPalette& palette)
{
    for (const Tint& known : tints) {
        if (tint == QLatin1String(known.name))
            return QColor(known.color);
    }
    return palette.color(QPalette::Highlight);
}
