#pragma once

#include <QString>

#include <functional>
#include <map>

class Library;

// The main window's states that show each kind of inspector panel, over the fixture's items.
std::map<QString, std::function<void(Library&)>> detailsStates();
