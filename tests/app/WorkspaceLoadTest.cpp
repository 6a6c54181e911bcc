#include "app/Workspace.h"
#include "fakes/FakeProgress.h"
#include "support/Fingerprint.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kLargeFile = 40 << 20; // several copy chunks

class WorkspaceLoad : public ::testing::Test {
protected:
    void SetUp() override {
        root.write(QStringLiteral("old/index.html"), "old index");
        root.write(QStringLiteral("old/images/a.png"), "old picture");
        for (const char* file : {"new/index.html", "new/b.html", "new/images/c.png"})
            root.write(QString::fromLatin1(file), file);
        QFile large(root.write(QStringLiteral("new/video/large.mp4")));
        ASSERT_TRUE(large.resize(kLargeFile)); // sparse: quick to make, as long to copy
        ASSERT_TRUE(workspace.load(root / QStringLiteral("old")).copied.ok());
        before = fingerprint(workspace.workFolder());
    }

    QString loadingCopy(const QString& name) const {
        return workspace.loadingFolder() + QLatin1Char('/') + name;
    }

    TempFolder root;
    Workspace workspace{ProgramFolder(root / QStringLiteral("program"))};
    QStringList before;
};

TEST_F(WorkspaceLoad, CountsTheFilesFirstThenReportsEachOneCopiedAndSwapsTheCopyIn) {
    FakeProgress progress;
    const Workspace::LoadOutcome outcome = workspace.load(root / QStringLiteral("new"), &progress);
    ASSERT_TRUE(outcome.copied.ok()) << outcome.copied.failures.join('\n').toStdString();
    EXPECT_TRUE(outcome.failure.isEmpty());

    ASSERT_EQ(progress.steps.size(), 5);
    for (qsizetype i = 0; i < progress.steps.size(); ++i) {
        EXPECT_EQ(progress.steps[i].done, i);
        EXPECT_EQ(progress.steps[i].total, 4);
        EXPECT_EQ(progress.steps[i].what, QStringLiteral("Copying files (%1 of 4)...").arg(i));
    }
    EXPECT_EQ(readBytes(workspace.workFolder() + QStringLiteral("/b.html")), "new/b.html");
    EXPECT_FALSE(QFileInfo::exists(workspace.workFolder() + QStringLiteral("/images/a.png")));
    EXPECT_EQ(QFileInfo(workspace.workFolder() + QStringLiteral("/video/large.mp4")).size(),
              kLargeFile);
    EXPECT_EQ(QDir(root / QStringLiteral("program"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("tmp")});
}

TEST_F(WorkspaceLoad, ACancelAnywhereLeavesTheWorkingCopyAsItWasAndNothingBeside) {
    bool cutShort = false; // the large file was cancelled partly copied
    const auto insideLargeFile = [&] {
        const qint64 size = QFileInfo(loadingCopy(QStringLiteral("video/large.mp4"))).size();
        cutShort = cutShort || (size > 0 && size < kLargeFile);
        return cutShort;
    };
    struct Case {
        const char* when;
        std::function<bool(const FakeProgress&)> cancelWhen;
    };
    const QList<Case> cases{
        {"before the start", [](const FakeProgress&) { return true; }},
        {"midway", [](const FakeProgress& p) { return p.steps.size() >= 3; }},
        {"inside a large file", [&](const FakeProgress&) { return insideLargeFile(); }},
        {"with every file copied",
         [](const FakeProgress& p) { return !p.steps.isEmpty() && p.steps.last().done == 4; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        FakeProgress progress;
        progress.cancelWhen = [&] { return c.cancelWhen(progress); };
        const Workspace::LoadOutcome outcome =
            workspace.load(root / QStringLiteral("new"), &progress);
        EXPECT_TRUE(outcome.copied.cancelled);
        EXPECT_TRUE(outcome.failure.isEmpty());
        EXPECT_EQ(fingerprint(workspace.workFolder()), before);
        EXPECT_FALSE(QFileInfo::exists(workspace.loadingFolder()));
        EXPECT_FALSE(QFileInfo::exists(workspace.replacedFolder()));
    }
    EXPECT_TRUE(cutShort);
}

TEST_F(WorkspaceLoad, WhatAnInterruptedLoadLeftGoesWithTheNextLoadOrStart) {
    for (const QString& leftover : {workspace.loadingFolder(), workspace.replacedFolder()})
        writeBytes(leftover + QStringLiteral("/half.html"), "half");
    EXPECT_TRUE(workspace.load(root / QStringLiteral("new")).copied.ok());
    writeBytes(workspace.loadingFolder() + QStringLiteral("/half.html"), "half");
    EXPECT_TRUE(workspace.resetWorkFolder().isEmpty());
    for (const QString& leftover : {workspace.loadingFolder(), workspace.replacedFolder()})
        EXPECT_FALSE(QFileInfo::exists(leftover));
}

} // namespace
