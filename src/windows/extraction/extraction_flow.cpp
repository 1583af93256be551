#include "windows/extraction/extraction_flow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <functional>
#include <optional>

#include "stages/extraction/frame_extraction.h"
#include "windows/background/base_image_offer.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

constexpr int kProgressDialogTop = 40;

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// How often the window system gets its events while the media layer opens or reads the clip.
constexpr int kEventsWhileReadingMs = 40;

// Beside the playback window, never over it, from the moment the clip is opened: first while the
// clip is read through, then "i / N", with a button that stops the reading at once or the saving
// after the frame being saved. It stays above the playback and main windows, so that a click on
// the main window never hides the one way to stop.
class ProgressDialog {
  public:
    explicit ProgressDialog(QWidget& owner) : m_dialog(&owner) {
        m_dialog.setObjectName(QString::fromLatin1(kProgressDialogName));
        m_dialog.setWindowTitle(QStringLiteral("ＢＭＰの作成"));
        m_dialog.setCancelButtonText(QStringLiteral("中止"));
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumDuration(0);
        m_dialog.setWindowModality(Qt::NonModal);
        m_dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
        // The playback window stays the active one, as the frames are pictures of it.
        m_dialog.setAttribute(Qt::WA_ShowWithoutActivating);
        m_dialog.setLabelText(QStringLiteral("動画ファイルを読み込んでいます…"));
        m_dialog.setRange(0, 0);
        m_dialog.show();
        m_dialog.move(kProgressDialogLeft, kProgressDialogTop);
        m_sinceEvents.start();
    }

    bool update(std::int32_t saved, std::int32_t total) {
        if (m_dialog.maximum() != total) m_dialog.setRange(0, total);
        m_dialog.setLabelText(
            QString::fromStdString(wf::numberText(saved) + " / " + wf::numberText(total)));
        m_dialog.setValue(saved);
        return !m_dialog.wasCanceled();
    }

    // Asked by the media layer while it reads: the button is only pressed where the window
    // system gets its events, so they are let through now and then.
    bool stopRequested() {
        if (m_sinceEvents.elapsed() >= kEventsWhileReadingMs) {
            QCoreApplication::processEvents();
            m_sinceEvents.restart();
        }
        return m_dialog.wasCanceled();
    }

  private:
    QProgressDialog m_dialog;
    QElapsedTimer m_sinceEvents;
};

// Lends the media layer the dialog's stop button for as long as the dialog is there.
class StopButtonOnPlayer {
  public:
    StopButtonOnPlayer(PlaybackWindow& playback, std::function<bool()> stopRequested)
        : m_playback(playback) {
        m_playback.setStopRequest(std::move(stopRequested));
    }
    ~StopButtonOnPlayer() { m_playback.setStopRequest({}); }
    StopButtonOnPlayer(const StopButtonOnPlayer&) = delete;
    StopButtonOnPlayer& operator=(const StopButtonOnPlayer&) = delete;

  private:
    PlaybackWindow& m_playback;
};

std::optional<std::string> chooseClip(Dialogs& dialogs) {
    FileDialogRequest request;
    request.filter = kClipDialogFilter;
    const auto clip = dialogs.showOpenDialog(request);
    if (!clip || clip->empty()) {
        dialogs.messageBox("動画ファイルが選ばれなかったので、ＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    return clip;
}

// The answer is used as typed; only an answer with nothing in it, or a folder that is not
// there and is not to be made, stops the stage, so nothing lands in the root folder.
std::optional<std::string> chooseFolder(Dialogs& dialogs, wf::FileServices& files) {
    const auto folder = dialogs.inputBox(folderPrompt());
    if (!folder || isBlank(*folder)) {
        dialogs.messageBox("作業フォルダーが入力されなかったので、ＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    if (files.folderExists(*folder)) return folder;
    if (!dialogs.askYesNo("作業フォルダー" + wf::quoted(*folder) +
                          "はありません。作成しますか？")) {
        dialogs.messageBox("作業フォルダーがないので、ＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    try {
        files.createFolder(*folder);
    } catch (const wf::FailureError& error) {
        dialogs.messageBox(wf::japaneseText(error.failure()) + "\nＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    return folder;
}

std::string stoppedMessage(std::int32_t written) {
    if (written < 1) return "出力を中止しました。フレームは保存されていません。";
    return "出力を中止しました。1 番から " + wf::numberText(written) +
           " 番までのフレームが保存されています。";
}

std::string keptFramesText(std::int32_t written) {
    if (written < 1) return "フレームは保存されていません。";
    return "1 番から " + wf::numberText(written) + " 番までのフレームは保存されています。";
}

// What the user is told when the extraction stopped short: the failure, and once frames were
// being saved, which of them are kept.
std::string failureMessage(const stages::ExtractionResult& result) {
    const std::string what = wf::japaneseText(*result.failure);
    if (!result.opened) return what;
    return what + "\n" + keptFramesText(result.written);
}

}  // namespace

std::string folderPrompt() {
    const QString example =
        QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/AviToBmp"));
    return "ストロボファイルを作るドライブとディレクトリを「" + example.toStdString() +
           "」 のように記入してください。";
}

void runExtraction(WindowSet& windows) {
    Dialogs& dialogs = windows.dialogs();
    MainWindow& form1 = windows.form1();

    const auto clip = chooseClip(dialogs);
    if (!clip) return;
    const auto folder = chooseFolder(dialogs, windows.files());
    if (!folder) return;

    form1.aviPath = *clip;
    form1.workFolder = *folder;
    form1.framePrefix = wf::framePrefix(*folder);
    form1.Text1->setText(QString::fromStdString(*folder));

    stages::ExtractionResult result;
    {
        // While frames are saved no other stage may start; the end button stops the extraction
        // after the frame being saved and ends the program.
        StageButtonsLock lock(form1);
        PlaybackWindow& form2 = windows.form2();
        windows.bringToFront(form2);
        form2.Picture1->move(0, 0);

        stages::FrameExtraction extraction(form2, windows.files(), windows.yield());
        {
            ProgressDialog progress(form2);
            const StopButtonOnPlayer stopButton(form2, [&progress, &windows] {
                return progress.stopRequested() || windows.isEnding();
            });
            result = extraction.run(
                *clip, form1.framePrefix,
                [&progress, &windows](stages::Phase, std::int64_t saved, std::int64_t total) {
                    return progress.update(static_cast<std::int32_t>(saved),
                                           static_cast<std::int32_t>(total)) &&
                           !windows.isEnding();
                });
        }
        if (windows.isEnding()) {
            extraction.close();
            form2.hide();
            return;
        }
        // Said while the last frame is still on view; the device closes after the answer.
        if (result.failure) {
            dialogs.messageBox(failureMessage(result));
        } else if (result.stopped) {
            dialogs.messageBox(stoppedMessage(result.written));
        } else {
            dialogs.messageBox(kCompletionMessage);
        }
        extraction.close();
        if (result.opened)
            form2.Text1->setText(QString::fromStdString(wf::numberText(result.written)));
        windows.bringToFront(form1);
        form2.hide();
    }
    // Fewer than two frames give no picture to compose: the user may want another clip.
    const bool completed = result.opened && !result.failure && !result.stopped;
    const StageEnd end = completed && result.written >= 2 ? StageEnd::Completed
                         : result.stopped                 ? StageEnd::Stopped
                                                          : StageEnd::Failed;
    form1.stageEnded(MainStage::Extraction, end, result.written >= 1);
    // A newcomer's folder has no background yet; the frames just written can make one.
    if (completed && result.written > 0) offerBaseImages(windows, *folder, result.written);
}

}  // namespace strobo::windows
