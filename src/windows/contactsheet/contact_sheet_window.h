#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/composition.h"
#include "stages/contactsheet/thumbnails.h"
#include "stages/frame_range.h"
#include "windows/main/stored_window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace strobo::windows {

class ImageControl;

// Form3, the contact sheet: 90 numbered thumbnails in 9 rows of 10, a number label under each
// row, and the two boxes the user types the frame range into.
class ContactSheetWindow : public StoredWindow {
    Q_OBJECT

  public:
    static constexpr int kThumbnailCount = stages::kThumbnailCount;
    static constexpr int kColumns = 10;
    static constexpr int kRows = kThumbnailCount / kColumns;
    // A thumbnail's size: its picture is stretched to this.
    static constexpr int kThumbnailWidth = stages::kThumbnailWidth;
    static constexpr int kThumbnailHeight = stages::kThumbnailHeight;

    explicit ContactSheetWindow(WindowSet& windows);

    // Member k of the thumbnail array, k from 1 to 90; any other index throws std::out_of_range,
    // as the array has no such member.
    ImageControl* Image1(int k) const;

    // The frame range as typed into Text1 and Text2, converted as the stages read it: the
    // lenient text-to-number conversion, the last number through the 255-character buffer.
    stages::FrameRange typedRange() const;

    // Every how many frames of the typed range the build adds (1: each, the default).
    std::int64_t interval() const;
    // The strobe series the build over the typed range with that interval leaves, as the save
    // and the replay read it: the typed range itself when every frame is used.
    stages::FrameRange seriesRange() const;
    // The operation chosen for the build; nothing for 自動, which the build decides from the
    // frames.
    std::optional<engine::CompositionOperation> chosenOperation() const;

    // The caption of row label n (1 to 9): the row's thumbnail numbers, spaced with blanks so
    // that each stands roughly under its thumbnail.
    static QString rowCaption(int n);

    // The controls, named as stored. Label1 to Label9 are the row labels.
    std::array<QLabel*, kRows> rowLabels{};
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    // Added beside the range: the interval and the operation, 自動 first.
    QSpinBox* intervalBox = nullptr;
    QComboBox* operationBox = nullptr;

  private:
    // Command1: the selection is made; the composition window takes over.
    void makeStrobeClicked();
    void buildThumbnailGrid();
    void alignRowNumbers();
    void setUpBuildChoices();

    std::array<ImageControl*, kThumbnailCount> m_images{};
};

}  // namespace strobo::windows
