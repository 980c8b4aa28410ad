#pragma once

// Texts of values as the views show them, in the user's locale (QLocale's default).

#include <QString>

// A byte count the way file sizes are written: decimal units (1 KB = 1000 bytes), whole
// kilobytes, one decimal for megabytes, two from gigabytes up, no trailing zeros ("Zero KB",
// "999 bytes", "5 MB", "2.1 MB", "1.46 GB").
QString byteCountText(qint64 bytes);

// The local date of a time (seconds since 1970) in the abbreviated style without the time:
// "Dec 10, 2026" in American English. Empty for a time that is not finite or out of range.
QString abbreviatedDateText(double seconds);

// The local date in the long style without the weekday and the time in the short style:
// "December 10, 2026 at 3:04 PM" in American English. Empty as above.
QString longDateTimeText(double seconds);
