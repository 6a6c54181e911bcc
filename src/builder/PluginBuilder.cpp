#include "PluginBuilder.h"

#include "Archiver.h"
#include "DeliveryFiles.h"
#include "FolderIndexes.h"
#include "PageConversion.h"
#include "TemplatePersonaliser.h"
#include "util/CopyFolder.h"
#include "util/FileError.h"
#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/KillFolder.h"
#include "util/RecurseFiles.h"
#include "util/TextFile.h"

#include <QDir>
#include <cerrno>

namespace {

const QString kPageFolder = QStringLiteral("modules/template");

void copyOrFail(const QString& from, const QString& to, const QString& what) {
    const CopyReport report = CopyFolder(from, to);
    if (!report.ok())
        throw BuildError{EIO,
                         QStringLiteral("Cannot copy %1 into %2: %3")
                             .arg(what, to, report.failures.mid(0, 3).join(QStringLiteral("; ")))};
}

QString absolute(const QString& path) {
    return QDir::cleanPath(QDir().absoluteFilePath(path));
}

} // namespace

PluginBuilder::PluginBuilder(Launcher& launcher) : launcher_(launcher) {}

QString PluginBuilder::build(const BuildRequest& request) {
    QString problem = FindRequestProblem(request.details, request.pluginPrefix);
    if (problem.isEmpty())
        problem = FindDeliveryProblem(request.pagesFolder, request.deliveryFiles);
    if (!problem.isEmpty())
        throw BuildError{EINVAL, problem};
    // The plugin folder is emptied first and then filled from the pages and the template, so
    // neither may lie in it, nor it in them.
    const QString plugin = absolute(request.pluginFolder());
    for (const QString& source : {request.pagesFolder, request.templateFolder}) {
        const QString read = absolute(source);
        if (isSameOrInside(read, plugin) || isSameOrInside(plugin, read))
            throw BuildError{EINVAL, QStringLiteral("The plugin folder %1 and the folder %2 must "
                                                    "not lie one inside the other.")
                                         .arg(plugin, read)};
    }
    try {
        checkTemplate(request);
        assemblePluginFolder(request);
        convertPages(request);
        personaliseTemplate(request);
        writeDeliveryLists(request);
        AddFolderIndexes(request.pluginFolder());
    } catch (const FileError& error) {
        throw BuildError{error.code(), error.description()};
    }

    const QString archive = ArchivePath(request);
    Pause(1);
    Archiver(launcher_, request.programFolder)
        .pack(request.outputFolder, request.pluginPrefix, archive);
    // Only now that the archiver has ended and the archive is complete does the folder go.
    KillFolder(request.pluginFolder());
    return archive;
}

void PluginBuilder::checkTemplate(const BuildRequest& request) const {
    for (const TemplateFile& file : PersonalisedTemplateFiles()) {
        const QString path = request.templateFolder + QLatin1Char('/') + file.relativePath;
        if (file.required && !FileExists(path, false))
            throw BuildError{
                ENOENT, QStringLiteral("The plugin template lacks the required file %1").arg(path)};
    }
}

void PluginBuilder::assemblePluginFolder(const BuildRequest& request) {
    const QString pluginFolder = request.pluginFolder();
    // A folder left by an earlier build of this identifier would bring its stale files along.
    QString failure;
    if (PathExists(pluginFolder, true) && !KillFolder(pluginFolder, &failure))
        throw BuildError{EACCES, failure};
    if (!QDir().mkpath(pluginFolder))
        throw BuildError{EACCES, QStringLiteral("Cannot create the folder %1").arg(pluginFolder)};
    Pause(1);
    copyOrFail(request.templateFolder, pluginFolder, QStringLiteral("the plugin template"));
    Pause(1);
    copyOrFail(request.pagesFolder, pluginFolder + QLatin1Char('/') + kPageFolder,
               QStringLiteral("the pages"));
    Pause(1);
    assets_.clear();
    RecurseFiles(request.pagesFolder, request.pagesFolder, assets_);
}

void PluginBuilder::convertPages(const BuildRequest& request) const {
    const QString pageFolder =
        request.pluginFolder() + QLatin1Char('/') + kPageFolder + QLatin1Char('/');
    ConvertPage(request.frontPage, FrontTags(), assets_, request.pluginPrefix,
                pageFolder + QStringLiteral("converted_index.php"));
    ConvertPage(request.downloadPage, BackTags(), assets_, request.pluginPrefix,
                pageFolder + QStringLiteral("converted_download.php"));
}

void PluginBuilder::personaliseTemplate(const BuildRequest& request) const {
    for (const TemplateFile& file : PersonalisedTemplateFiles())
        PersonaliseTemplateFile(request.pluginFolder(), file, request.pluginPrefix,
                                request.details);
}

void PluginBuilder::writeDeliveryLists(const BuildRequest& request) const {
    const QString modules = request.pluginFolder() + QStringLiteral("/modules/");
    SaveTextToFile(PhpPathList(QStringLiteral("The product's files, relative to modules/template. "
                                              "The plugin moves them into a private store\n"
                                              "and hands them out only through expiring links; "
                                              "a file's number is its place here."),
                               request.deliveryFiles),
                   modules + QStringLiteral("delivery.php"));
    // The download page's plain copy shows where the product is; only its converted form is
    // served.
    const QString downloadCopy = QDir(request.pagesFolder).relativeFilePath(request.downloadPage);
    SaveTextToFile(PhpPathList(QStringLiteral("Pages kept out of reach like the product's files, "
                                              "relative to modules/template."),
                               {downloadCopy}),
                   modules + QStringLiteral("private_pages.php"));
}
