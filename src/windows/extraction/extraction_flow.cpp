#include "windows/extraction/extraction_flow.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <optional>

#include "windows/extraction/playback_window.h"
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

// "i / N" beside the playback window, never over it, with a button to stop after the frame
// being saved.
class ProgressDialog {
  public:
    ProgressDialog() {
        m_dialog.setObjectName(QString::fromLatin1(kProgressDialogName));
        m_dialog.setWindowTitle(QStringLiteral("ＢＭＰの作成"));
        m_dialog.setCancelButtonText(QStringLiteral("中止"));
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumDuration(0);
        m_dialog.setWindowModality(Qt::NonModal);
        // The playback window stays the active one, as the frames are pictures of it.
        m_dialog.setAttribute(Qt::WA_ShowWithoutActivating);
        m_dialog.move(kProgressDialogLeft, kProgressDialogTop);
    }

    bool update(std::int32_t saved, std::int32_t total) {
        if (!m_dialog.isVisible()) {
            m_dialog.setRange(0, total);
            m_dialog.show();
            m_dialog.move(kProgressDialogLeft, kProgressDialogTop);
        }
        m_dialog.setLabelText(
            QString::fromStdString(wf::numberText(saved) + " / " + wf::numberText(total)));
        m_dialog.setValue(saved);
        return !m_dialog.wasCanceled();
    }

  private:
    QProgressDialog m_dialog;
};

std::optional<std::string> chooseClip(wf::PlatformServices& services) {
    wf::FileDialogRequest request;
    request.filter = kClipDialogFilter;
    const auto clip = services.showOpenDialog(request);
    if (!clip || clip->empty()) {
        services.messageBox("動画ファイルが選ばれなかったので、ＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    return clip;
}

// The answer is used as typed; only an answer with nothing in it, or a folder that is not
// there and is not to be made, stops the stage, so nothing lands in the root folder.
std::optional<std::string> chooseFolder(wf::PlatformServices& services) {
    const auto folder = services.inputBox(folderPrompt());
    if (!folder || isBlank(*folder)) {
        services.messageBox("作業フォルダーが入力されなかったので、ＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    if (services.folderExists(*folder)) return folder;
    if (!services.askYesNo("作業フォルダー" + wf::quoted(*folder) +
                           "はありません。作成しますか？")) {
        services.messageBox("作業フォルダーがないので、ＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    try {
        services.createFolder(*folder);
    } catch (const wf::ServiceError& error) {
        services.messageBox(std::string(error.what()) + "\nＢＭＰの作成を中止しました。");
        return std::nullopt;
    }
    return folder;
}

std::string stoppedMessage(std::int32_t written) {
    if (written < 1) return "出力を中止しました。フレームは保存されていません。";
    return "出力を中止しました。1 番から " + wf::numberText(written) +
           " 番までのフレームが保存されています。";
}

}  // namespace

std::string folderPrompt() {
    const QString example =
        QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/AviToBmp"));
    return "ストロボファイルを作るドライブとディレクトリを「" + example.toStdString() +
           "」 のように記入してください。";
}

void runExtraction(WindowSet& windows) {
    wf::PlatformServices& services = windows.services();
    MainWindow& form1 = windows.form1();

    const auto clip = chooseClip(services);
    if (!clip) return;
    const auto folder = chooseFolder(services);
    if (!folder) return;

    form1.aviPath = *clip;
    form1.workFolder = *folder;
    form1.framePrefix = wf::framePrefix(*folder);
    form1.Text1->setText(QString::fromStdString(*folder));

    bool finished = false;
    {
        // While frames are saved no other stage may start, and the program is not ended halfway.
        StageButtonsLock lock(form1, StageButtonsLock::kWithEndButton);
        PlaybackWindow& form2 = windows.form2();
        form2.show();
        form2.Picture1->move(0, 0);
        form2.raise();
        form2.activateWindow();

        FrameExtraction extraction(form2, services);
        ExtractionReport report;
        {
            ProgressDialog progress;
            report = extraction.run(*clip, form1.framePrefix,
                                    [&progress](std::int32_t saved, std::int32_t total) {
                                        return progress.update(saved, total);
                                    });
        }
        // Said while the last frame is still on view; the device closes after the answer.
        if (!report.failure.empty()) {
            services.messageBox(report.failure);
        } else if (report.stopped) {
            services.messageBox(stoppedMessage(report.written));
        } else {
            services.messageBox(kCompletionMessage);
        }
        extraction.close();
        if (report.opened)
            form2.Text1->setText(QString::fromStdString(wf::numberText(report.written)));
        finished = report.opened && report.failure.empty();
        form1.show();
        form2.hide();
    }
    if (finished) form1.Command1->setEnabled(false);
}

ExtractionReport extractClip(const std::string& clip, const std::string& folder,
                             wf::PlatformServices& services, const ExtractionProgress& progress) {
    if (isBlank(folder) || !services.folderExists(folder)) {
        ExtractionReport report;
        report.failure = "作業フォルダーがありません: " + wf::quoted(folder);
        return report;
    }
    WindowSet windows;
    windows.setServices(services);
    PlaybackWindow& form2 = windows.form2();
    form2.setAttribute(Qt::WA_DontShowOnScreen);
    form2.show();
    form2.Picture1->move(0, 0);
    FrameExtraction extraction(form2, services);
    ExtractionReport report = extraction.run(clip, wf::framePrefix(folder), progress);
    extraction.close();
    form2.Text1->setText(QString::fromStdString(wf::numberText(report.written)));
    return report;
}

}  // namespace strobo::windows
