#include "Pellmar/media/CloudPlaceholders.h"

#include "Pellmar/index/RegularFiles.h"

#include <plist/plist.h>

namespace {

// A placeholder is a small property list; anything larger is not one.
constexpr qint64 placeholderSizeLimit = 1 << 20;

} // namespace

// Size recorded in a cloud placeholder (a binary or XML property list); 0 when it cannot be read.
qint64 placeholderSize(int folder, const QByteArray& name)
{
    const RegularFile file(folder, name);
    if (!file.isOpen() || file.status().st_size > placeholderSizeLimit)
        return 0;
    QByteArray data;
    try {
        data = file.readHead(placeholderSizeLimit);
    } catch (const FileError&) {
        return 0;
    }
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return 0;
    qint64 size = 0;
    if (plist_get_node_type(root) == PLIST_DICT) {
        const plist_t value = plist_dict_get_item(root, "NSURLFileSizeKey");
        switch (value ? plist_get_node_type(value) : PLIST_NONE) {
        case PLIST_UINT: {
            uint64_t number = 0;
            plist_get_uint_val(value, &number);
            size = qint64(number);
            break;
        }
        case PLIST_REAL: {
            double number = 0;
            plist_get_real_val(value, &number);
            size = qint64(number);
            break;
        }
        case PLIST_BOOLEAN: {
            uint8_t flag = 0;
            plist_get_bool_val(value, &flag);
            size = flag ? 1 : 0;
            break;
        }
        default:
            break;
        }
    }
    plist_free(root);
    return size;
}

// A cloud placeholder stands for a file that is not on this machine: ".name.icloud".
bool isPlaceholderName(const QString& name)
{
    return name.size() > 8 && name.startsWith(QLatin1Char('.')) && !name.startsWith(QLatin1String("._"))
        && name.endsWith(QLatin1String(".icloud"));
}

// The name a placeholder stands for: ".name.icloud" without its dot and suffix (ASCII both).
QByteArrayView representedName(QByteArrayView placeholderName)
{
    return placeholderName.sliced(1, placeholderName.size() - 1 - qsizetype(sizeof(".icloud") - 1));
}
