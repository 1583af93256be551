#include "windows/background/base_image_offer.h"

#include "stages/background/base_images.h"
#include "windows/main/dialogs.h"
#include "windows/main/window_set.h"
#include "workfolder/file_names.h"

namespace strobo::windows {

namespace wf = workfolder;

const char* const kBaseImageOfferText =
    "作業フォルダーに背景の画像 Sstrobe.bmp がありません。\n"
    "背景をどれで作りますか？（元に戻すための控え Stest0.bmp にも同じ画像を書きます）\n"
    "\n"
    "「動画から自動で作る」: 動く物の写っていない背景を、動画のフレームから作ります。\n"
    "「最初のフレーム」: 動画の最初のフレームを背景にします。\n"
    "「黒」: 真っ黒な背景にします（明るい物体に向きます）。";

std::vector<std::string> baseImageOfferChoices() {
    return {"動画から自動で作る", "最初のフレーム", "黒"};
}

namespace {

constexpr stages::BaseImageKind kKinds[] = {
    stages::BaseImageKind::Median, stages::BaseImageKind::FirstFrame, stages::BaseImageKind::Black};

}  // namespace

bool offerBaseImages(WindowSet& windows, const std::string& folder, std::int64_t frameCount) {
    wf::FileServices& files = windows.files();
    Dialogs& dialogs = windows.dialogs();
    const std::string base = wf::baseStrobeImage(folder);
    if (files.fileExists(base)) return true;

    const std::optional<std::size_t> choice =
        dialogs.chooseOne(kBaseImageOfferText, baseImageOfferChoices());
    if (!choice || *choice >= std::size(kKinds)) return false;
    const std::string pristine = wf::pristineBaseImage(folder);
    if (files.fileExists(pristine) &&
        !dialogs.askYesNo("元の背景画像 " + wf::quoted(pristine) +
                          " はすでにあります。新しい背景で置き換えますか？")) {
        return false;
    }

    stages::BaseImagesResult made;
    {
        WaitCursor wait(dialogs);
        made = stages::makeBaseImages(files, folder, kKinds[*choice], frameCount, true);
    }
    if (made.failure) {
        dialogs.messageBox("背景の画像を作れませんでした。\n" + wf::japaneseText(*made.failure));
        return files.fileExists(base);
    }
    std::string told = "背景の画像を作りました。";
    for (const std::string& file : made.written) {
        told += '\n';
        told += wf::quoted(file);
    }
    dialogs.messageBox(told);
    return true;
}

}  // namespace strobo::windows
