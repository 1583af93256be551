#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stages/composition/strobe_build.h"
#include "windows/main/stored_window.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace strobo::windows {

class PictureBox;

// 合成, the composition window: a borderless 400 x 300 window whose visible picture box Picture3
// (larger than the window) shows the composed picture and holds the two buttons. The other
// picture boxes and the operation list are hidden working surfaces.
class CompositionWindow : public StoredWindow, private stages::StrobeBuildView {
    Q_OBJECT

  public:
    explicit CompositionWindow(WindowSet& windows);
    ~CompositionWindow() override;

    // Draws Picture4's picture into Picture2 at percent per cent of its size.
    void ScalePicture(std::int16_t& percent);

    // The work folder as copied from form1 when the window loaded.
    const std::string& workFolder() const { return m_workFolder; }
    bool isBuilding() const { return m_build != nullptr; }
    // Asks a running build to stop after its current step (used when the program ends).
    void cancelBuild();
    // The contact sheet hands over: the window comes up ready to build from the folder form1
    // holds now, whatever an earlier build left on it.
    void takeOver();
    // The frame files the last completed build composed, in order: the frames of the series.
    const std::vector<std::int64_t>& usedFrameFiles() const { return m_usedFrameFiles; }

    // The controls, named as stored.
    QListWidget* List1 = nullptr;
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    PictureBox* Picture3 = nullptr;
    // Inside Picture3.
    PictureBox* Picture4 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // Inside Picture3, shown after a build that chose its operation by itself: what was chosen.
    QLabel* operationNote = nullptr;

  Q_SIGNALS:
    // After each run of the build: completed, or stopped with the reason shown to the user.
    void buildFinished(bool completed);

  protected:
    void onLoad() override;

  private:
    void runBuild();
    void finish();
    void stepStarted() override;
    void showComposed(const engine::PackedImage& composed) override;
    void stepEnded() override;

    std::string m_workFolder;
    stages::StrobeBuild* m_build = nullptr;
    std::vector<std::int64_t> m_usedFrameFiles;
};

}  // namespace strobo::windows
