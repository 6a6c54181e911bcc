#pragma once

#include <QString>
#include <QStringList>

// What the last session worked on: the seller's folder the working copy came from, and the
// pages of it changed in Ostrel. The next start offers to go on with them.
struct LastSession {
    QString sourceFolder;    // empty for pages dropped one by one
    QStringList editedPages; // relative to the working folder
};

// A missing or unreadable file is a session with nothing to go on with.
LastSession LoadLastSession(const QString& file);
// Throws FileError.
void SaveLastSession(const LastSession& session, const QString& file);

// The pages a seller changed in Ostrel, kept in the product's folder (edits/, by their path in
// the working folder) so they outlive the working copy: loading the folder again next month
// brings them back. The seller's own folder is never written.
class KeptEdits {
public:
    explicit KeptEdits(QString productFolder);

    // Keeps the page as it now is in the working folder. Throws FileError.
    void keep(const QString& workFolder, const QString& page) const;
    // The kept pages, sorted.
    QStringList pages() const;
    // Puts the kept pages over the working copy's. Throws FileError.
    void restoreInto(const QString& workFolder) const;

private:
    QString folder_;
};
