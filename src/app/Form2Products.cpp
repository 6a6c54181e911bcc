// What outlives a session: the pages the seller changed, kept with the product of the folder
// they came from, and the offer to go on with them.
#include "Form2.h"

#include "KeptEdits.h"
#include "util/FileError.h"
#include "util/HelperOps.h"
#include "util/services/MessageBoxService.h"

#include <QDir>
#include <QFile>

QString Form2::sessionFile() const {
    return products_.folder() + QStringLiteral("/last-session.json");
}

bool Form2::continueLastSession() {
    const LastSession last = LoadLastSession(sessionFile());
    QStringList present;
    for (const QString& page : last.editedPages) {
        if (PathExists(workspace_.workFolder() + QLatin1Char('/') + page, false))
            present << page;
    }
    if (present.isEmpty())
        return false;
    const QString from =
        last.sourceFolder.isEmpty() ? QStringLiteral("your pages") : last.sourceFolder;
    if (services_.messages.MsgBox(
            QStringLiteral("Continue"),
            QStringLiteral("Last time you changed these pages of %1 in Ostrel:\n\n%2\n\nContinue "
                           "with them? No starts with an empty list; your changed pages are "
                           "offered again when you load the folder.")
                .arg(from, present.join(QLatin1Char('\n'))),
            MsgStyle::YesNoQuestion) != MsgResult::Yes)
        return false;
    session_ = {last.sourceFolder, present};
    loadedFolder_ = last.sourceFolder;
    if (last.sourceFolder.isEmpty())
        unkept_ = present;
    return true;
}

void Form2::keepEditedPage(const QString& file) {
    if (!isInWorkFolder(file))
        return;
    const QString page = QDir(workspace_.workFolder()).relativeFilePath(file);
    if (!session_.editedPages.contains(page))
        session_.editedPages << page;
    unkept_.removeAll(page);
    if (loadedFolder_.isEmpty()) {
        unkept_ << page; // dropped pages belong to no product
    } else {
        try {
            KeptEdits(products_.productFolder(loadedFolder_)).keep(workspace_.workFolder(), page);
        } catch (const FileError& error) {
            unkept_ << page;
            showError(QStringLiteral("%1 is saved in the working copy, but Ostrel could not keep "
                                     "a copy with your product for later.\n%2")
                          .arg(page, error.description()));
        }
    }
    saveSession();
}

bool Form2::mayReplaceWorkingCopy() {
    if (unkept_.isEmpty())
        return true;
    return services_.messages.MsgBox(
               QStringLiteral("Changed Pages"),
               QStringLiteral("Your changes to these pages are in the working copy only:\n\n%1\n\n"
                              "Loading another folder replaces them. Load it anyway?")
                   .arg(unkept_.join(QLatin1Char('\n'))),
               MsgStyle::YesNoQuestion | MsgStyle::DefaultButton2) == MsgResult::Yes;
}

void Form2::offerKeptEdits(const QString& folder) {
    session_ = {folder, {}};
    unkept_.clear();
    const KeptEdits kept(products_.productFolder(folder));
    const QStringList pages = kept.pages();
    if (!pages.isEmpty() &&
        services_.messages.MsgBox(
            QStringLiteral("Changed Pages"),
            QStringLiteral("You changed these pages of %1 in Ostrel before:\n\n%2\n\nUse your "
                           "changed pages? No shows the pages as they are in your folder; your "
                           "changes stay kept.")
                .arg(folder, pages.join(QLatin1Char('\n'))),
            MsgStyle::YesNoQuestion) == MsgResult::Yes) {
        try {
            kept.restoreInto(workspace_.workFolder());
            session_.editedPages = pages;
        } catch (const FileError& error) {
            showError(QStringLiteral("Your changed pages could not all be put back.\n%1")
                          .arg(error.description()));
        }
    }
    saveSession();
}

void Form2::saveSession() {
    // Written only while there is something to offer, so plain loads leave no trace.
    if (session_.editedPages.isEmpty()) {
        QFile::remove(sessionFile());
        return;
    }
    try {
        QDir().mkpath(products_.folder());
        SaveLastSession(session_, sessionFile());
    } catch (const FileError&) {
        // Only the offer at the next start is lost; the pages themselves are kept.
    }
}
