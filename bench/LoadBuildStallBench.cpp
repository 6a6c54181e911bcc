// Loads a large product folder into the working copy and builds its plugin the way the windows
// do, on a worker thread behind the progress dialog, and reports how late a 10 ms timer on the
// window's thread ran meanwhile: the longest the window went without answering.
//   OSTREL_BENCH_LARGE_MB  size of the product's large files (default 512; 2048 for a 2 GB product)
//   --program DIR          the program folder holding plugintemplatepro (default: the build's)
#include "app/Workspace.h"
#include "builder/PluginBuilder.h"
#include "builder/WorkWithProgress.h"
#include "builder/services/QtLauncher.h"
#include "util/Progress.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kTick = 10; // ms

// The longest lateness of a 10 ms timer while it runs.
class StallMeter {
public:
    StallMeter() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            worst_ = std::max(worst_, (now - last_) / 1e6 - kTick);
            last_ = now;
        });
        timer_.setTimerType(Qt::PreciseTimer);
    }
    void start() {
        worst_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start(kTick);
    }
    double stop() {
        timer_.stop();
        return worst_;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double worst_ = 0;
};

bool write(const QString& path, const QByteArray& content) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Mostly video, as sellers' products are: sparse files, quick to make and as long to copy.
bool makeProduct(const QString& folder, qint64 largeBytes) {
    bool ok = write(folder + "/index.html", "<html><body><a href=\"video/part0.mp4\">#FRONT#</a>"
                                            "</body></html>") &&
              write(folder + "/download.html", "<html><body>#BACK#</body></html>");
    for (int i = 0; ok && i < 200; ++i)
        ok = write(folder + QStringLiteral("/pages/p%1.html").arg(i),
                   QByteArray("<html><body><img src=\"../img/a.png\">page</body></html>"));
    ok = ok && write(folder + "/img/a.png", QByteArray(4096, 'p'));
    const int parts = 4;
    for (int i = 0; ok && i < parts; ++i) {
        QFile video(folder + QStringLiteral("/video/part%1.mp4").arg(i));
        ok = QDir().mkpath(folder + "/video") && video.open(QIODevice::WriteOnly) &&
             video.resize(largeBytes / parts);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QString programSource = QStringLiteral(OSTREL_PROGRAM_DIR);
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], "--program"))
            programSource = QString::fromLocal8Bit(argv[i + 1]);
    const qint64 largeMb = qEnvironmentVariableIsSet("OSTREL_BENCH_LARGE_MB")
                               ? qEnvironmentVariableIntValue("OSTREL_BENCH_LARGE_MB")
                               : 512;

    QTemporaryDir scratch;
    const QString product = scratch.path() + "/product";
    if (!makeProduct(product, largeMb << 20)) {
        std::fprintf(stderr, "cannot make the product folder in %s\n", qPrintable(scratch.path()));
        return 1;
    }
    const ProgramFolder program(programSource, scratch.path() + "/data",
                                scratch.path() + "/output");
    const Workspace workspace(program);
    if (!workspace.ensureFolders().isEmpty())
        return 1;

    QWidget window;
    window.resize(800, 600);
    window.show();
    StallMeter meter;
    QElapsedTimer clock;

    meter.start();
    clock.start();
    Workspace::LoadOutcome loaded;
    RunWithProgress(&window, QStringLiteral("Loading the Folder"), {},
                    [&](Progress& progress) { loaded = workspace.load(product, &progress); });
    const double loadSeconds = clock.elapsed() / 1000.0;
    const double loadStall = meter.stop();
    if (!loaded.copied.ok() || !loaded.failure.isEmpty()) {
        std::fprintf(stderr, "load failed: %s\n",
                     qPrintable(loaded.failure + loaded.copied.failures.join('\n')));
        return 1;
    }

    BuildRequest request;
    request.pagesFolder = workspace.workFolder();
    request.templateFolder = program.templateFolder();
    request.outputFolder = program.outputFolder();
    request.programFolder = program.path();
    request.frontPage = request.pagesFolder + "/index.html";
    request.downloadPage = request.pagesFolder + "/download.html";
    request.details = {"Bench Site", "https://example.com/bench", "Benchmark", "1.0",
                       "Bench",      "https://example.com",       "GPL"};
    request.pluginPrefix = QStringLiteral("p10001");
    request.deliveryFiles = {QStringLiteral("video/part0.mp4")};
    QtLauncher launcher;
    meter.start();
    clock.restart();
    try {
        RunWithProgress(
            &window, QStringLiteral("Creating the Plugin"), {},
            [&](Progress& progress) { PluginBuilder(launcher).build(request, &progress); });
    } catch (const BuildError& error) {
        std::fprintf(stderr, "build failed: %s\n", qPrintable(error.message()));
        return 1;
    }
    const double buildSeconds = clock.elapsed() / 1000.0;
    const double buildStall = meter.stop();

    std::printf("large_mb=%lld\nload_s=%.2f\nload_worst_stall_ms=%.1f\nbuild_s=%.2f\n"
                "build_worst_stall_ms=%.1f\n",
                largeMb, loadSeconds, loadStall, buildSeconds, buildStall);
    return 0;
}
