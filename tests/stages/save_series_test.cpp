#include "stages/output/save_series.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

std::string readAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

void writeText(const std::string& path, const std::string& text) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path;
    file.write(text.c_str(), static_cast<qint64>(text.size()));
}

bool exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

// A work folder holding a strobe series; each strobe file's bytes name it, so a saved picture
// shows which strobe file it was copied from.
class SaveSeriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path().toStdString();
        m_work = m_root + "/work";
        m_out = m_root + "/out";
        QDir().mkpath(QString::fromStdString(m_work));
        QDir().mkpath(QString::fromStdString(m_out));
        writeText(wf::baseStrobeImage(m_work), "base");
        writeText(wf::pristineBaseImage(m_work), "pristine");
    }

    void makeSeries(int first, int last) {
        for (int n = first; n <= last; ++n) writeText(strobe(n), "strobe" + std::to_string(n));
    }
    std::string strobe(int n) const { return wf::strobeFile(m_work, n); }

    SaveOutcome save(double first, double last, const std::string& chosen) {
        m_result = saveSeries(m_files, m_work, {first, last}, wf::savePrefix(chosen));
        return m_result.outcome;
    }
    wf::FailureKind failureKind() const {
        return m_result.failure ? m_result.failure->kind : wf::FailureKind::Unexpected;
    }

    QTemporaryDir m_dir;
    std::string m_root;
    std::string m_work;
    std::string m_out;
    wf::FileServices m_files;
    SaveResult m_result;
};

TEST_F(SaveSeriesTest, WorkedExampleCopiesOutNumberedFromOneThenDeletesTheSeries) {
    makeSeries(3, 9);
    EXPECT_EQ(save(3, 7, m_out + "/run.bmp"), SaveOutcome::Saved);
    EXPECT_EQ(m_result.saved.front(), m_out + "/run1.bmp");
    EXPECT_EQ(m_result.saved.back(), m_out + "/run5.bmp");

    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(readAll(m_out + "/run" + std::to_string(k) + ".bmp"),
                  "strobe" + std::to_string(k + 3));
    }
    EXPECT_FALSE(exists(m_out + "/run0.bmp"));
    EXPECT_FALSE(exists(m_out + "/run6.bmp"));
    for (int n = 3; n <= 8; ++n) EXPECT_FALSE(exists(strobe(n))) << n;
    EXPECT_TRUE(exists(strobe(9))) << "outside the series";
    EXPECT_EQ(readAll(wf::baseStrobeImage(m_work)), "base");
    EXPECT_FALSE(m_result.failure);
}

TEST_F(SaveSeriesTest, ChosenNamesBecomeThePrefix) {
    struct Case {
        std::string chosen;
        std::string firstSaved;
    };
    QDir().mkpath(QString::fromStdString(m_root + "/my.pics"));
    const Case cases[] = {
        {m_out + "/run", m_out + "/run1.bmp"},
        // Only a "." in the file name counts; the folder's is part of the path.
        {m_root + "/my.pics/run.bmp", m_root + "/my.pics/run1.bmp"},
        {m_out + "/run.a.b", m_out + "/run1.bmp"},
    };
    for (const Case& c : cases) {
        makeSeries(5, 6);
        EXPECT_EQ(save(5, 5, c.chosen), SaveOutcome::Saved) << c.chosen;
        EXPECT_EQ(readAll(c.firstSaved), "strobe6") << c.chosen;
    }
    EXPECT_FALSE(exists(m_root + "/my1.bmp"));
}

TEST_F(SaveSeriesTest, ExistingPicturesAreOverwrittenWithoutAQuestion) {
    makeSeries(1, 3);
    writeText(m_out + "/run1.bmp", "older picture");
    EXPECT_EQ(save(1, 2, m_out + "/run.bmp"), SaveOutcome::Saved);
    EXPECT_EQ(readAll(m_out + "/run1.bmp"), "strobe2");
}

TEST_F(SaveSeriesTest, RangeWithoutAPictureIsAFailureThatTouchesNothing) {
    // e = s - 1 (the series is the background alone) and a swapped range.
    makeSeries(4, 5);
    for (const auto& [first, last] : {std::pair{4.0, 3.0}, std::pair{20.0, 10.0}}) {
        EXPECT_EQ(save(first, last, m_out + "/a.bmp"), SaveOutcome::CopyFailed) << first;
        EXPECT_EQ(failureKind(), wf::FailureKind::NothingToSave);
        EXPECT_TRUE(m_result.saved.empty());
    }
    EXPECT_TRUE(exists(strobe(4)));
    EXPECT_TRUE(exists(strobe(5)));
    EXPECT_TRUE(QDir(QString::fromStdString(m_out)).isEmpty());
}

TEST_F(SaveSeriesTest, AStopBetweenFilesDeletesNothingThatWasNotSaved) {
    makeSeries(1, 5);
    int asked = 0;
    // Stopped before the third copy: two pictures saved, the whole series still there.
    m_result = saveSeries(m_files, m_work, {1, 4}, m_out + "/run", [&] { return ++asked == 3; });
    EXPECT_EQ(m_result.outcome, SaveOutcome::Stopped);
    EXPECT_EQ(m_result.saved, (std::vector<std::string>{m_out + "/run1.bmp", m_out + "/run2.bmp"}));
    EXPECT_FALSE(exists(m_out + "/run3.bmp"));
    for (int n = 1; n <= 5; ++n) EXPECT_TRUE(exists(strobe(n))) << n;

    // Stopped during the deletes (after 4 copies, 2 deletes): the rest of the series stays.
    asked = 0;
    m_result = saveSeries(m_files, m_work, {1, 4}, m_out + "/run", [&] { return ++asked == 7; });
    EXPECT_EQ(m_result.outcome, SaveOutcome::Stopped);
    EXPECT_EQ(m_result.saved.size(), 4u);
    EXPECT_FALSE(exists(strobe(2)));
    for (int n = 3; n <= 5; ++n) EXPECT_TRUE(exists(strobe(n))) << n;
}

TEST_F(SaveSeriesTest, HalvesGoToTheEvenNeighbourAndKKeepsTheFraction) {
    // s = 2.5: copies nearest(3.5) = 4 .. nearest(4.5) = 4 as k = 1.5; deletes nearest(2.5) = 2
    // .. 4.
    makeSeries(2, 5);
    EXPECT_EQ(save(2.5, 3.5, m_out + "/h.bmp"), SaveOutcome::Saved);
    EXPECT_EQ(readAll(m_out + "/h1.5.bmp"), "strobe4");
    for (int n = 2; n <= 4; ++n) EXPECT_FALSE(exists(strobe(n))) << n;
    EXPECT_TRUE(exists(strobe(5)));
}

TEST_F(SaveSeriesTest, MissingStrobeFileStopsBeforeAnyCopy) {
    makeSeries(3, 8);
    QFile::remove(QString::fromStdString(strobe(6)));
    EXPECT_EQ(save(3, 7, m_out + "/run.bmp"), SaveOutcome::CopyFailed);
    EXPECT_EQ(failureKind(), wf::FailureKind::StrobeMissing);
    EXPECT_EQ(m_result.failure->file, strobe(6));
    EXPECT_TRUE(QDir(QString::fromStdString(m_out)).isEmpty());
    for (int n : {3, 4, 5, 7, 8}) EXPECT_TRUE(exists(strobe(n))) << n;
}

TEST_F(SaveSeriesTest, UnwritableDestinationDeletesNothing) {
    makeSeries(3, 5);
    const std::string chosen = m_root + "/no such folder/run.bmp";
    EXPECT_EQ(save(3, 4, chosen), SaveOutcome::CopyFailed);
    ASSERT_TRUE(m_result.failure);
    EXPECT_NE(wf::japaneseText(*m_result.failure).find(m_root + "/no such folder/run1.bmp"),
              std::string::npos);
    for (int n = 3; n <= 5; ++n) EXPECT_TRUE(exists(strobe(n)));
}

TEST_F(SaveSeriesTest, DeleteFailureAfterTheCopiesKeepsEverySavedPicture) {
    // Strobe file s is deleted but never copied, so its absence shows only in the delete loop.
    makeSeries(4, 6);
    EXPECT_EQ(save(3, 5, m_out + "/run.bmp"), SaveOutcome::DeleteFailed);
    EXPECT_EQ(readAll(m_out + "/run1.bmp"), "strobe4");
    EXPECT_EQ(readAll(m_out + "/run3.bmp"), "strobe6");
    EXPECT_EQ(m_result.saved.size(), 3u);
    ASSERT_TRUE(m_result.failure);
    EXPECT_NE(wf::japaneseText(*m_result.failure).find(strobe(3)), std::string::npos);
}

TEST_F(SaveSeriesTest, RangeOutsideTheIntegerRangeIsReportedNotSaved) {
    makeSeries(1, 2);
    EXPECT_EQ(save(2147483647, 2147483647, m_out + "/o.bmp"), SaveOutcome::CopyFailed);
    EXPECT_EQ(failureKind(), wf::FailureKind::NumberOutOfRange);
    EXPECT_EQ(save(1, 1e12, m_out + "/o.bmp"), SaveOutcome::CopyFailed);
    EXPECT_EQ(failureKind(), wf::FailureKind::NumberOutOfRange);
    EXPECT_TRUE(exists(strobe(1)));
    EXPECT_TRUE(exists(strobe(2)));
    EXPECT_TRUE(QDir(QString::fromStdString(m_out)).isEmpty());
}

TEST_F(SaveSeriesTest, NamesThatWouldReplaceTheWorkFolderFilesAreRefusedByIdentity) {
    // The work folder reached through a link is the same folder; its frame files, another series
    // and the base images are as much its own as the series being saved.
    std::filesystem::create_directory_symlink(m_work, m_root + "/alias");
    makeSeries(1, 4);
    makeSeries(11, 14);
    writeText(wf::frameFile(m_work, 1), "frame1");
    std::filesystem::create_symlink(wf::pristineBaseImage(m_work), m_out + "/pristine1.bmp");
    for (const std::string& chosen :
         {m_work + "/Sstrobe.bmp", m_root + "/alias/Sstrobe", m_root + "/alias/test.bmp",
          m_work + "/test", m_work + "/../work/Sstrobe-x.bmp", m_out + "/pristine.bmp"}) {
        EXPECT_EQ(save(1, 3, chosen), SaveOutcome::CopyFailed) << chosen;
        EXPECT_EQ(failureKind(), wf::FailureKind::SaveOntoWorkFiles) << chosen;
    }
    for (int n : {1, 2, 3, 4, 11, 12, 13, 14})
        EXPECT_EQ(readAll(strobe(n)), "strobe" + std::to_string(n));
    EXPECT_EQ(readAll(wf::frameFile(m_work, 1)), "frame1");
    EXPECT_EQ(readAll(wf::pristineBaseImage(m_work)), "pristine");
    EXPECT_FALSE(exists(wf::frameFile(m_work, 2)));

    // Another name in the work folder is fine.
    EXPECT_EQ(save(1, 3, m_root + "/alias/run.bmp"), SaveOutcome::Saved);
    EXPECT_EQ(readAll(m_work + "/run1.bmp"), "strobe2");
}

class ResetTest : public SaveSeriesTest {};

TEST_F(ResetTest, RestoresTheBaseImageFromThePristineCopy) {
    makeSeries(3, 4);
    EXPECT_FALSE(resetBaseImage(m_files, m_work));
    EXPECT_EQ(readAll(wf::baseStrobeImage(m_work)), "pristine");
    EXPECT_EQ(readAll(wf::pristineBaseImage(m_work)), "pristine");
    EXPECT_TRUE(exists(strobe(3)));
}

TEST_F(ResetTest, MissingPristineImageIsReportedAndChangesNothing) {
    QFile::remove(QString::fromStdString(wf::pristineBaseImage(m_work)));
    const auto failure = resetBaseImage(m_files, m_work);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, wf::FailureKind::PristineMissing);
    EXPECT_EQ(failure->file, wf::pristineBaseImage(m_work));
    EXPECT_EQ(readAll(wf::baseStrobeImage(m_work)), "base");
}

}  // namespace

}  // namespace strobo::stages
