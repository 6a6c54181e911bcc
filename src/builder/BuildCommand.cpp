#include "BuildCommand.h"

#include "DeliveryFiles.h"
#include "PluginBuilder.h"
#include "ProductRecord.h"
#include "TagCheck.h"
#include "util/FileError.h"
#include "util/FsPath.h"
#include "util/HelperOps.h"
#include "util/PageEncoding.h"
#include "util/ProgramFolder.h"
#include "util/RecurseFiles.h"
#include "util/TextFile.h"

#include <QCommandLineParser>
#include <QFileDevice>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

struct Option {
    QString name;
    QString valueName;
    QString help;
};

const QList<Option>& options() {
    static const QList<Option> list{
        {QStringLiteral("pages"), QStringLiteral("DIR"),
         QStringLiteral("Folder of the product's pages and files; only read.")},
        {QStringLiteral("front"), QStringLiteral("FILE"),
         QStringLiteral("The front-end (sales) page in DIR.")},
        {QStringLiteral("download"), QStringLiteral("FILE"),
         QStringLiteral("The download page in DIR.")},
        {QStringLiteral("name"), QStringLiteral("TEXT"),
         QStringLiteral("Plugin name; the archive is named after it.")},
        {QStringLiteral("uri"), QStringLiteral("TEXT"), QStringLiteral("Plugin URI.")},
        {QStringLiteral("description"), QStringLiteral("TEXT"), QStringLiteral("Description.")},
        {QStringLiteral("version"), QStringLiteral("TEXT"), QStringLiteral("Version.")},
        {QStringLiteral("author"), QStringLiteral("TEXT"), QStringLiteral("Author.")},
        {QStringLiteral("author-uri"), QStringLiteral("TEXT"), QStringLiteral("Author URI.")},
        {QStringLiteral("license"), QStringLiteral("TEXT"),
         QStringLiteral("License (may be empty).")},
        {QStringLiteral("id"), QStringLiteral("ID"),
         QStringLiteral("Unique identifier (default: freshly drawn, like p48217).")},
        {QStringLiteral("product-file"), QStringLiteral("PATH"),
         QStringLiteral("The product's record. When it exists, it gives the identifier, the "
                        "details and the delivery files that are not given; after a build, it "
                        "holds what was built, for the next version.")},
        {QStringLiteral("template"), QStringLiteral("DIR"),
         QStringLiteral("Plugin template (default: plugintemplatepro beside the program).")},
        {QStringLiteral("output"), QStringLiteral("DIR"),
         QStringLiteral("Output folder (default: output beside the program; when the program's "
                        "folder is read-only, Ostrel in the documents folder, $XDG_DOCUMENTS_DIR "
                        "or ~/Documents). The build works in a hidden "
                        ".ostrel-build-* folder there and leaves only the archive.")},
    };
    return list;
}

const QStringList kRequiredPlaces{QStringLiteral("pages"), QStringLiteral("front"),
                                  QStringLiteral("download")};

// Required too, unless a product record gives them.
const QList<std::pair<QString, QString PluginDetails::*>> kDetailOptions{
    {QStringLiteral("name"), &PluginDetails::name},
    {QStringLiteral("uri"), &PluginDetails::uri},
    {QStringLiteral("description"), &PluginDetails::description},
    {QStringLiteral("version"), &PluginDetails::version},
    {QStringLiteral("author"), &PluginDetails::author},
    {QStringLiteral("author-uri"), &PluginDetails::authorUri},
    {QStringLiteral("license"), &PluginDetails::license},
};

// Paths are worked out on the file system's bytes, so names that are not UTF-8 stay as given.
QString absolute(const QString& path) {
    if (path.isEmpty())
        return path;
    std::error_code ec;
    fs::path full = fs::absolute(toFsPath(path), ec).lexically_normal();
    if (!full.has_filename() && full != full.root_path())
        full = full.parent_path();
    return fromFsPath(full);
}

QString inFolder(const QString& folder, const QString& path) {
    return absolute(fromFsPath(toFsPath(folder) / toFsPath(path)));
}

// "./files/a.pdf" and the file's full path both name files/a.pdf; what lies outside the folder is
// kept as given, for the check to refuse.
QString relativeToFolder(const QString& path, const QString& folder) {
    const QString full = inFolder(folder, path);
    return full.startsWith(folder + QLatin1Char('/')) ? full.mid(folder.size() + 1) : path;
}

// Text goes out as the bytes it was decoded from: a path that is not UTF-8 is printed as the
// file system names it.
void print(QTextStream& stream, const QString& text) {
    QIODevice* device = stream.device();
    if (!device) {
        stream << text;
        return;
    }
    stream.flush();
    device->write(encodeUtf8Lossless(text));
    if (auto* file = qobject_cast<QFileDevice*>(device))
        file->flush();
}

// source says where the list came from.
void printDeliveryFiles(QTextStream& err, const QStringList& files, const QString& source) {
    if (files.isEmpty()) {
        print(err, QStringLiteral("ostrel-build: protected delivery files: none; every file of "
                                  "the plugin stays public.\n"));
        return;
    }
    print(err, QStringLiteral("ostrel-build: protected delivery files (%1):\n").arg(source));
    for (const QString& file : files)
        print(err, QStringLiteral("  ") + file + QLatin1Char('\n'));
}

void printReferenceReport(QTextStream& err, const QList<ReferenceProblem>& problems) {
    if (problems.isEmpty())
        return;
    print(err, QStringLiteral("ostrel-build: ") + ReferenceReportHeading(problems.size()) +
                   QLatin1Char('\n'));
    for (const ReferenceProblem& problem : problems)
        print(err, QStringLiteral("  ") + problem.text() + QLatin1Char('\n'));
}

} // namespace

int RunBuildCommand(const QStringList& arguments, const QString& programFolder, Launcher& launcher,
                    QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Builds a WordPress plugin archive from a folder of pages, as Ostrel's \"Create Plugin\" "
        "does, and prints the archive's path. The protected delivery files are listed on the "
        "error output. Quote values that hold spaces: a stray word is an error."));
    parser.addHelpOption();
    for (const Option& o : options())
        parser.addOption(QCommandLineOption(o.name, o.help, o.valueName));
    parser.addOption(QCommandLineOption(
        QStringLiteral("yes"), QStringLiteral("Replace an existing archive of the same name.")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("deliver"),
        QStringLiteral("A delivery file, by its path in DIR (repeat for more). The plugin keeps "
                       "delivery files private and gives buyers expiring links to them. Replaces "
                       "the detected files: those the download page links to that the sales page "
                       "does not use, other than pages, style sheets, scripts, pictures and "
                       "fonts."),
        QStringLiteral("PATH")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("deliver-none"),
        QStringLiteral("Build without protected delivery files; every file stays public.")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("strict"),
        QStringLiteral("Build nothing when the pages hold references to check: addresses that "
                       "name no file of DIR, addresses in scripts, links to the download page. "
                       "They are listed on the error output either way.")));

    if (!parser.parse(arguments)) {
        err << "ostrel-build: " << parser.errorText() << "\n";
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        return 0;
    }
    // An unquoted value's second word would otherwise be dropped without a word.
    if (!parser.positionalArguments().isEmpty()) {
        print(err, QStringLiteral("ostrel-build: unexpected argument: %1\n")
                       .arg(parser.positionalArguments().first()));
        err << parser.helpText();
        return 2;
    }
    auto fail = [&](const QString& message) {
        print(err, QStringLiteral("ostrel-build: ") + message + QLatin1Char('\n'));
        return 1;
    };

    // A damaged record or one of another format is refused before anything else, and kept.
    const QString productFile = absolute(parser.value(QStringLiteral("product-file")));
    std::optional<ProductRecord> remembered;
    std::error_code ec;
    if (!productFile.isEmpty() && fs::exists(fs::symlink_status(toFsPath(productFile), ec))) {
        try {
            remembered = LoadProductRecord(productFile);
        } catch (const FileError& error) {
            return fail(error.description());
        }
    }
    QStringList required = kRequiredPlaces;
    if (!remembered) {
        for (const auto& option : kDetailOptions)
            required << option.first;
    }
    for (const QString& name : required) {
        if (!parser.isSet(name)) {
            err << "ostrel-build: --" << name << " is required (see --help)";
            if (!productFile.isEmpty() && !remembered)
                print(err,
                      QStringLiteral("; the product file %1 does not exist yet").arg(productFile));
            err << "\n";
            return 2;
        }
    }
    const bool chosen = parser.isSet(QStringLiteral("deliver"));
    if (chosen && parser.isSet(QStringLiteral("deliver-none"))) {
        err << "ostrel-build: --deliver and --deliver-none exclude each other\n";
        return 2;
    }

    const ProgramFolder program = ProgramFolder::placedFor(programFolder);
    BuildRequest r;
    r.pagesFolder = absolute(parser.value(QStringLiteral("pages")));
    r.templateFolder =
        absolute(parser.isSet(QStringLiteral("template")) ? parser.value(QStringLiteral("template"))
                                                          : program.templateFolder());
    r.outputFolder =
        absolute(parser.isSet(QStringLiteral("output")) ? parser.value(QStringLiteral("output"))
                                                        : program.outputFolder());
    r.programFolder = program.path();
    r.frontPage = inFolder(r.pagesFolder, parser.value(QStringLiteral("front")));
    r.downloadPage = inFolder(r.pagesFolder, parser.value(QStringLiteral("download")));
    for (const auto& [option, member] : kDetailOptions)
        r.details.*member =
            parser.isSet(option) ? parser.value(option) : remembered->details.*member;
    if (parser.isSet(QStringLiteral("id")))
        r.pluginPrefix = parser.value(QStringLiteral("id"));
    else if (remembered)
        r.pluginPrefix = remembered->identifier;
    else
        r.pluginPrefix = QStringLiteral("p%1%2").arg(RandomNumber(999)).arg(RandomNumber(999));

    if (!fs::is_directory(toFsPath(r.pagesFolder), ec))
        return fail(QStringLiteral("%1 is not a folder.").arg(r.pagesFolder));
    // Where the output leads counts: a link into the pages would put the build there.
    if (leadsSameOrInside(r.outputFolder, r.pagesFolder))
        return fail(QStringLiteral("The output folder %1 must not lie inside the pages folder.")
                        .arg(r.outputFolder));
    if (!productFile.isEmpty()) {
        if (leadsSameOrInside(productFile, r.pagesFolder))
            return fail(QStringLiteral("The product file %1 must not lie inside the pages folder.")
                            .arg(productFile));
        // Found out now rather than after the build.
        const QString folder = fromFsPath(toFsPath(productFile).parent_path());
        if (!fs::is_directory(toFsPath(folder), ec))
            return fail(QStringLiteral("The product file's folder %1 does not exist.").arg(folder));
    }
    const QString problem = FindRequestProblem(r.details, r.pluginPrefix);
    if (!problem.isEmpty())
        return fail(problem);

    QString pages[2];
    const QString* paths[2] = {&r.frontPage, &r.downloadPage};
    for (int i = 0; i < 2; ++i) {
        if (!isSameOrInside(*paths[i], r.pagesFolder))
            return fail(QStringLiteral("%1 does not lie in %2.").arg(*paths[i], r.pagesFolder));
        try {
            pages[i] = LoadPageFromFile(*paths[i]);
        } catch (const FileError& error) {
            return fail(error.description());
        }
    }
    const QString missing = MissingTags(pages[0], pages[1]);
    if (!missing.isEmpty())
        print(err, QStringLiteral("ostrel-build: warning: these tags are not present in your "
                                  "pages: ") +
                       missing.simplified() + QLatin1Char('\n'));

    QStringList assets;
    RecurseFiles(r.pagesFolder, r.pagesFolder, assets);
    const QString frontPath = relativeToFolder(r.frontPage, r.pagesFolder);
    const QString downloadPath = relativeToFolder(r.downloadPage, r.pagesFolder);
    const QString toChange = QStringLiteral("; --deliver or --deliver-none to change");
    QString deliverySource = QStringLiteral("chosen");
    if (chosen) {
        for (const QString& given : parser.values(QStringLiteral("deliver")))
            r.deliveryFiles << relativeToFolder(given, r.pagesFolder);
        r.deliveryFiles.removeDuplicates();
    } else if (remembered && !parser.isSet(QStringLiteral("deliver-none"))) {
        r.deliveryFiles = remembered->deliveryFiles;
        deliverySource = QStringLiteral("from the product file") + toChange;
    } else if (!parser.isSet(QStringLiteral("deliver-none"))) {
        r.deliveryFiles =
            DetectDeliveryFiles(pages[0], frontPath, pages[1], downloadPath, assets).detected;
        deliverySource = QStringLiteral("detected") + toChange;
    }
    const QString deliveryProblem = FindDeliveryProblem(r.pagesFolder, r.deliveryFiles);
    if (!deliveryProblem.isEmpty())
        return fail(deliveryProblem);
    // On the error output, beside the warnings: the standard output holds the archive's path
    // alone, for scripts.
    printDeliveryFiles(err, r.deliveryFiles, deliverySource);

    fs::create_directories(toFsPath(r.outputFolder), ec);
    if (ec)
        return fail(QStringLiteral("Cannot create the output folder %1.").arg(r.outputFolder));
    const QString archive = ArchivePath(r);
    if (fs::exists(fs::symlink_status(toFsPath(archive), ec)) &&
        !parser.isSet(QStringLiteral("yes")))
        return fail(QStringLiteral("%1 exists already; pass --yes to replace it.").arg(archive));

    r.strictReferences = parser.isSet(QStringLiteral("strict"));
    PluginBuilder builder(launcher);
    try {
        const QString built = builder.build(r);
        printReferenceReport(err, builder.problems());
        print(out, built + QLatin1Char('\n'));
    } catch (const ReferencesToCheck&) {
        printReferenceReport(err, builder.problems());
        return fail(QStringLiteral("--strict: the pages hold %1 references to check; nothing was "
                                   "built.")
                        .arg(builder.problems().size()));
    } catch (const BuildError& error) {
        return fail(error.message());
    }
    if (productFile.isEmpty())
        return 0;
    try {
        SaveProductRecord(
            {r.pagesFolder, r.pluginPrefix, r.details, r.deliveryFiles, r.details.version},
            productFile);
    } catch (const FileError& error) {
        return fail(QStringLiteral("The plugin was built, but the product file was not written: ") +
                    error.description());
    }
    return 0;
}
