#pragma once

#include "Pellmar/index/Model.h"

#include <QString>

#include <functional>
#include <map>

class Library;

// A memory card as the fixture shows it: mounted under /media, holding nothing on disk.
Device card();

// The main window's states with a card selected (the card grid and the panels beside it) and the
// import sheet over it.
std::map<QString, std::function<void(Library&)>> cardStates();
