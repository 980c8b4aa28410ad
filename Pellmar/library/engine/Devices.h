#pragma once

#include "Pellmar/index/Model.h"
#include "Pellmar/platform/Volumes.h"

#include <QList>

// The drives and cards a user imports from or ejects: the removable or ejectable local volumes,
// other than the root, that neither are nor hold a folder source, in the volumes' order.
QList<Device> deviceList(const QList<MountedVolume>& volumes, const QList<Source>& sources);
