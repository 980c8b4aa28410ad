#pragma once

#include <QString>

// Spells a capture date for the search text, in English whatever the user's language and in the
// machine's time zone: "2021 March 14 Sunday".
class SearchDateFormatter {
public:
    QString string(double secondsSince1970) const;
};

// The one shared formatter, made on first use and kept for the life of the process.
const SearchDateFormatter& searchDateFormatter();
