#pragma once

// An output file that appears complete or not at all.

#include <QString>

class QRegularExpression;

// Removes the files of `folder` whose names match `temporaryName` and that are older than this run
// of the program: temporaries that a run which died while writing them left behind.
void removeLeftoverTemporaries(const QString& folder, const QRegularExpression& temporaryName);

// The file an export writes while it runs, beside its output as ".NAME.XXXXXXXX.partial", with the
// usual permissions (0666 less the umask). Unless committed it is removed when this object goes.
// Commit flushes it to the disk and renames it over the output, so that an older output stays until
// the new one is complete. Creating one first removes the temporaries that a run which died left in
// that folder (only names of this form, older than this run). Throws DatabaseError with the system's
// reason when the file cannot be created, flushed or renamed.
class PartialOutput {
public:
    explicit PartialOutput(const QString& output);
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;
    ~PartialOutput();

    const QString& path() const { return path_; }
    void commit();

private:
    QString output_;
    QString path_;
    bool committed_ = false;
};
