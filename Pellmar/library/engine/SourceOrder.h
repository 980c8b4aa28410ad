#pragma once

#include "Pellmar/index/Model.h"

#include <QList>

// The one order in which sources are held and shown: the home folder, the cloud folder, the photo
// library, drives, then every other folder; within each place the source added first comes first.
bool comesBefore(const Source& a, const Source& b);

// Sorts into that order; sources that tie keep the order they had.
void sortInSourceOrder(QList<Source>& sources);
