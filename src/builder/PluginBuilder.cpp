#include "PluginBuilder.h"

#include "Archiver.h"
#include "DeliveryFiles.h"
#include "FolderIndexes.h"
#include "PageConversion.h"
#include "PhpText.h"
#include "StagingFolder.h"
#include "TemplatePersonaliser.h"
#include "conversion/SitePages.h"
#include "util/CopyFolder.h"
#include "util/FileError.h"
#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/Progress.h"
#include "util/RecurseFiles.h"
#include "util/TextFile.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QString kPageFolder = QStringLiteral("modules/template");

void copyOrFail(const QString& from, const QString& to, const QString& what, Progress* progress) {
    const CopyReport report = CopyFolder(from, to, progress);
    if (report.cancelled)
        throw Cancelled{};
    if (!report.ok())
        throw BuildError{report.firstError,
                         QStringLiteral("Cannot copy %1 into %2: %3")
                             .arg(what, to, report.failures.mid(0, 3).join(QStringLiteral("; ")))};
}

void makeFolder(const QString& path) {
    std::error_code ec;
    fs::create_directories(toFsPath(path), ec);
    if (ec)
        throw FileError::fromErrno(ec.value(), QStringLiteral("Cannot create the folder"), path);
}

QString relativePath(const QString& path, const QString& folder) {
    fs::path base = toFsPath(folder).lexically_normal();
    if (!base.has_filename())
        base = base.parent_path();
    return fromFsPath(toFsPath(path).lexically_normal().lexically_relative(base));
}

} // namespace

PluginBuilder::PluginBuilder(Launcher& launcher) : launcher_(launcher) {}

QString PluginBuilder::build(const BuildRequest& request, Progress* progress) {
    problems_.clear();
    progress_ = progress;
    checkRequest(request);
    try {
        checkTemplate(request);
        makeFolder(request.outputFolder);
        const StagingFolder staging(request.outputFolder);
        const QString plugin = staging.path() + QLatin1Char('/') + request.pluginPrefix;
        assemblePluginFolder(request, plugin);
        convertPages(request, plugin);
        if (request.strictReferences && !problems_.isEmpty())
            throw ReferencesToCheck{};
        stopIfCancelled(progress);
        personaliseTemplate(request, plugin);
        writeDeliveryLists(request, plugin);
        AddFolderIndexes(plugin);

        const QString archive = ArchivePath(request);
        Pause(1);
        stopIfCancelled(progress);
        Archiver(launcher_, request.programFolder)
            .pack(staging.path(), request.pluginPrefix, archive, progress);
        return archive;
    } catch (const FileError& error) {
        throw BuildError{error.code(), error.description()};
    }
}

void PluginBuilder::checkRequest(const BuildRequest& request) const {
    QString problem = FindRequestProblem(request.details, request.pluginPrefix);
    if (problem.isEmpty())
        problem = FindDeliveryProblem(request.pagesFolder, request.deliveryFiles);
    if (!problem.isEmpty())
        throw BuildError{EINVAL, problem};
    // The build writes into the output folder and only reads the pages and the template; where
    // the paths lead counts, not how they are written.
    for (const QString& source : {request.pagesFolder, request.templateFolder}) {
        if (leadsSameOrInside(request.outputFolder, source))
            throw BuildError{EINVAL, QStringLiteral("The output folder %1 must not lie inside the "
                                                    "folder %2, which the build only reads.")
                                         .arg(request.outputFolder, source)};
    }
}

void PluginBuilder::checkTemplate(const BuildRequest& request) const {
    for (const TemplateFile& file : PersonalisedTemplateFiles()) {
        const QString path = request.templateFolder + QLatin1Char('/') + file.relativePath;
        std::error_code ec;
        if (file.required && !fs::is_regular_file(toFsPath(path), ec))
            throw BuildError{
                ENOENT, QStringLiteral("The plugin template lacks the required file %1").arg(path)};
    }
}

void PluginBuilder::assemblePluginFolder(const BuildRequest& request, const QString& plugin) {
    if (::mkdir(toFsPath(plugin).c_str(), 0777) != 0)
        throw FileError::fromErrno(errno, QStringLiteral("Cannot create the folder"), plugin);
    Pause(1);
    copyOrFail(request.templateFolder, plugin, QStringLiteral("the plugin template"), progress_);
    Pause(1);
    copyOrFail(request.pagesFolder, plugin + QLatin1Char('/') + kPageFolder,
               QStringLiteral("the pages"), progress_);
    Pause(1);
    assets_.clear();
    RecurseFiles(request.pagesFolder, request.pagesFolder, assets_);
}

void PluginBuilder::convertPages(const BuildRequest& request, const QString& plugin) {
    const QString pageFolder = plugin + QLatin1Char('/') + kPageFolder + QLatin1Char('/');
    const SitePages pages = FindSitePages(
        assets_, relativePath(request.frontPage, request.pagesFolder),
        relativePath(request.downloadPage, request.pagesFolder), request.deliveryFiles);
    const ReferenceConverter references(assets_, pages, AssetUrlPrefix());
    const qint64 total = pages.others.size() + 2;
    qint64 converted = 0;
    auto next = [&] {
        stopIfCancelled(progress_);
        if (progress_)
            progress_->step(QStringLiteral("Converting pages (%1 of %2)...")
                                .arg(countText(converted + 1), countText(total)),
                            converted, total);
        ++converted;
    };
    next();
    problems_ += ConvertPage(request.frontPage, pages.front, FrontTags(), references,
                             pageFolder + QStringLiteral("converted_index.php"));
    next();
    problems_ += ConvertPage(request.downloadPage, pages.download, BackTags(), references,
                             pageFolder + QStringLiteral("converted_download.php"));
    for (qsizetype i = 0; i < pages.others.size(); ++i) {
        next();
        problems_ +=
            ConvertPage(request.pagesFolder + QLatin1Char('/') + pages.others[i], pages.others[i],
                        FrontTags(), references, pageFolder + ConvertedOtherPage(i));
    }
    SaveTextToFile(SitePagesPhp(pages), plugin + QStringLiteral("/modules/site_pages.php"));

    // Only the converted pages are served: a plain copy would show the tags as written, and the
    // download page's would show where the product is.
    QStringList copies{pages.front, pages.download};
    copies += pages.others;
    for (const QString& copy : copies) {
        const QString path = pageFolder + copy;
        if (copy.startsWith(QLatin1String("../")) || !PathExists(path, false))
            continue;
        if (::unlink(toFsPath(path).c_str()) != 0)
            throw FileError::fromErrno(errno, QStringLiteral("Cannot delete"), path);
    }
}

void PluginBuilder::personaliseTemplate(const BuildRequest& request, const QString& plugin) const {
    for (const TemplateFile& file : PersonalisedTemplateFiles())
        PersonaliseTemplateFile(plugin, file, request.pluginPrefix, request.details);
}

void PluginBuilder::writeDeliveryLists(const BuildRequest& request, const QString& plugin) const {
    const QString modules = plugin + QStringLiteral("/modules/");
    SaveTextToFile(PhpPathList(QStringLiteral("The product's files, relative to modules/template. "
                                              "The plugin moves them into a private store\n"
                                              "and hands them out only through expiring links; "
                                              "a file's number is its place here."),
                               request.deliveryFiles),
                   modules + QStringLiteral("delivery.php"));
    // The download page's plain copy shows where the product is; only its converted form is
    // served.
    const QString downloadCopy = relativePath(request.downloadPage, request.pagesFolder);
    SaveTextToFile(PhpPathList(QStringLiteral("Pages kept out of reach like the product's files, "
                                              "relative to modules/template."),
                               {downloadCopy}),
                   modules + QStringLiteral("private_pages.php"));
    packDeliveryFiles(request, modules);
}

void PluginBuilder::packDeliveryFiles(const BuildRequest& request, const QString& modules) const {
    // Until the plugin runs and moves them into its store, the product's files lie in a folder
    // whose name nobody can guess (every folder has an index.php, so none is listed): a web
    // server serves whatever is unpacked, and the archive may carry no server rules.
    const QString folder = PackedDeliveryFolderName();
    for (const QString& path : request.deliveryFiles) {
        const QString from = modules + QStringLiteral("template/") + path;
        const QString to = modules + folder + QLatin1Char('/') + path;
        makeFolder(fromFsPath(toFsPath(to).parent_path()));
        if (::rename(toFsPath(from).c_str(), toFsPath(to).c_str()) != 0)
            throw FileError::fromErrno(errno, QStringLiteral("Cannot move"), from);
    }
    SaveTextToFile(QStringLiteral("<?php\ndefined( 'ABSPATH' ) || exit;\n\n"
                                  "// Where the archive holds the product's files, under modules.\n"
                                  "return %1;\n")
                       .arg(PhpSingleQuoted(folder)),
                   modules + QStringLiteral("delivery_folder.php"));
}
