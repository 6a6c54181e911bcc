#pragma once

#include "BuildError.h"
#include "BuildRequest.h"
#include "conversion/ReferenceProblem.h"

#include <QString>
#include <QStringList>

class Launcher;
class Progress;

// A strict build stopped because the pages hold references to check; the builder's problems()
// lists them.
struct ReferencesToCheck {};

// Builds a plugin archive from a request: the plugin folder made afresh in a staging folder of
// the build's own inside the output folder, from the template and the pages folder; every page
// converted (the sales and download pages and each other page of the site) in place of its plain
// copy, the template personalised, the list of delivery files written, every folder
// kept from being listed; the folder packed, and the staging folder removed. Nothing else in the
// output folder is touched but the archive. Widgets play no part in it.
class PluginBuilder {
public:
    explicit PluginBuilder(Launcher& launcher);

    // Runs the whole build and returns the archive's path. Throws BuildError, or for a strict
    // request ReferencesToCheck; a failed build leaves an existing archive of the same name as
    // it was. With progress, reports each stage (copying, converting pages, packing) and,
    // cancelled, throws Cancelled leaving no archive and no staging folder.
    QString build(const BuildRequest& request, Progress* progress = nullptr);

    // The assets of the last build: the pages folder's files, relative, with "/" separators.
    const QStringList& assets() const { return assets_; }

    // The references of the last build's pages that the report lists.
    const QList<ReferenceProblem>& problems() const { return problems_; }

private:
    void checkRequest(const BuildRequest& request) const;
    void checkTemplate(const BuildRequest& request) const;
    void assemblePluginFolder(const BuildRequest& request, const QString& plugin);
    void convertPages(const BuildRequest& request, const QString& plugin);
    void personaliseTemplate(const BuildRequest& request, const QString& plugin) const;
    void writeDeliveryLists(const BuildRequest& request, const QString& plugin) const;
    void packDeliveryFiles(const BuildRequest& request, const QString& modules) const;

    Launcher& launcher_;
    Progress* progress_ = nullptr;
    QStringList assets_;
    QList<ReferenceProblem> problems_;
};
