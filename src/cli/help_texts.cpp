#include "cli/help_texts.h"

namespace strobo::cli {

namespace {

constexpr const char* kOperations =
    "  OP: \"A + B = C\" \"A - B = C\" \"A * B = C\" \"A / B = C\" \"RGB最大値\" \"RGB最小値\"\n"
    "      \"最大値\" \"最小値\", or/または add sub mul div rgbmax rgbmin max min,\n"
    "      or/または auto (自動, 既定 default): 動く物が背景より明るければ 最大値、暗ければ\n"
    "      最小値 / 最大値 when the moving object is brighter than the background, 最小値\n"
    "      when it is darker\n";

constexpr const char* kExitCodes =
    "終了コード / exit status: 0 成功 success, 1 入力やファイルの誤り bad input or file,\n"
    "                          2 使い方の誤り wrong usage\n";

}  // namespace

std::string generalHelp() {
    return std::string(
               "strobo " STROBO_VERSION
               " — ビデオからストロボ写真を作る / makes strobe photographs from a video clip\n"
               "\n"
               "使い方 / usage:\n"
               "  strobo                          ウィンドウを開く / open the windows\n"
               "  strobo extract CLIP FOLDER      動画の全フレームを test1.bmp … として書き出す\n"
               "                                  write every frame as test1.bmp …\n"
               "  strobo build FOLDER FIRST LAST [--op OP] [--every K] [--keep-frames]\n"
               "                                  ストロボ写真の連作 Sstrobe*.bmp を作る\n"
               "                                  build the strobe series Sstrobe*.bmp\n"
               "  strobo save FOLDER FIRST LAST PATH [--every K]\n"
               "                                  連作を PATH "
               "の名前で保存し作業フォルダーから消す\n"
               "                                  save the series under PATH, remove it from the "
               "folder\n"
               "  strobo make CLIP --first S --last E -o PATH [options]\n"
               "                                  動画から一度に作る / the whole road in one "
               "command\n"
               "  strobo demo [FOLDER]            見本の動画で作ってみる / try it on the built-in "
               "sample clip\n"
               "  strobo --render-window NAME OUT.png\n"
               "                                  保存されたウィンドウを PNG に描く (form1, Form2, "
               "Form3, 合成, Form4, Form5, 背景)\n"
               "                                  draw one stored window into a PNG file\n"
               "  strobo --version                版を表示 / show the version\n"
               "  strobo COMMAND --help           各コマンドの説明 / help on one command\n"
               "\n") +
           kExitCodes;
}

std::string commandHelp(std::string_view command) {
    if (command == "extract") {
        return std::string(
                   "使い方 / usage: strobo extract CLIP FOLDER [--threads N]\n"
                   "\n"
                   "動画 CLIP を再生ウィンドウで一コマずつ映し、各フレームを作業フォルダー FOLDER "
                   "に\n"
                   "test1.bmp から testN.bmp まで（653×480 ピクセル）書き出して、N を表示します。\n"
                   "Plays CLIP frame by frame in the playback window and writes every frame to\n"
                   "the work folder FOLDER as test1.bmp to testN.bmp (653×480 pixels, as the\n"
                   "windows write them), then prints N. FOLDER must exist.\n"
                   "\n"
                   "  --threads N  動画を読むスレッドの数 (0 は自動、既定) / the decoder's "
                   "threads\n"
                   "               (0, the default: as many as suit the processors). The frame\n"
                   "               files are the same whatever the number.\n"
                   "\n") +
               kExitCodes;
    }
    if (command == "build") {
        return std::string(
                   "使い方 / usage: strobo build FOLDER FIRST LAST [--op OP] [--every K]\n"
                   "                [--keep-frames]\n"
                   "\n"
                   "FOLDER の Sstrobe.bmp を SstrobeFIRST.bmp に写し、フレーム FIRST+1 から LAST+1 "
                   "を\n"
                   "一枚ずつ重ねて SstrobeFIRST+1.bmp … SstrobeLAST+1.bmp "
                   "を作ります（「合成」と同じ）。\n"
                   "終わるとフレームファイルを消します（「メニューに戻る」と同じ）。\n"
                   "Copies FOLDER/Sstrobe.bmp to Sstrobe<FIRST>.bmp, then adds frame files "
                   "FIRST+1\n"
                   "to LAST+1 one by one, writing Sstrobe<FIRST+1>.bmp to Sstrobe<LAST+1>.bmp, as\n"
                   "the composition window does; afterwards deletes the frame files, as its\n"
                   "finish does.\n"
                   "\n"
                   "  --op OP        重ね方 / how a frame is combined with the picture so far\n"
                   "  --every K      K 枚ごとに重ねる: フレーム FIRST+1, FIRST+1+K, … を使い、\n"
                   "                 SstrobeFIRST+1.bmp から連番で作る / add every K-th frame\n"
                   "                 (FIRST+1, FIRST+1+K, …), numbering the strobe files on\n"
                   "                 from Sstrobe<FIRST+1>.bmp without gaps\n"
                   "  --keep-frames  フレームファイルを残す / keep the frame files\n") +
               kOperations + "\n" + kExitCodes;
    }
    if (command == "save") {
        return std::string(
                   "使い方 / usage: strobo save FOLDER FIRST LAST PATH [--every K]\n"
                   "\n"
                   "SstrobeFIRST+1.bmp … SstrobeLAST+1.bmp を PATH（拡張子を除く）+ 1.bmp, 2.bmp … "
                   "として\n"
                   "保存し、作業フォルダーの SstrobeFIRST.bmp … SstrobeLAST+1.bmp を消します。\n"
                   "保存の途中で失敗したとき、止めたときは、保存していない写真を消しません。\n"
                   "作業フォルダーのファイル（test*.bmp, Sstrobe*.bmp, Stest0.bmp）に重なる\n"
                   "保存先は断ります。\n"
                   "Saves Sstrobe<FIRST+1>.bmp to Sstrobe<LAST+1>.bmp of FOLDER as PATH (without\n"
                   "its extension) + 1.bmp, 2.bmp, …, then deletes Sstrobe<FIRST>.bmp to\n"
                   "Sstrobe<LAST+1>.bmp. When a copy fails or Ctrl-C stops it, nothing that was\n"
                   "not saved is deleted. A PATH whose pictures would replace the folder's own\n"
                   "files (test*.bmp, Sstrobe*.bmp, Stest0.bmp) is refused.\n"
                   "\n"
                   "  --every K  build に --every K を付けたときの連作 / the series a build with\n"
                   "             --every K left (FIRST and LAST as given to it)\n"
                   "\n") +
               kExitCodes;
    }
    if (command == "make") {
        return std::string(
                   "使い方 / usage: strobo make CLIP --first S --last E -o PATH [--op OP]\n"
                   "                [--background FILE|black|median] [--every K]\n"
                   "                [--size window|native] [--csv FILE] [--gif FILE]\n"
                   "                [--mp4 FILE] [--labels] [--threads N]\n"
                   "\n"
                   "書き出し・合成・保存を一度に行い、PATH1.bmp, PATH2.bmp … を作ります。使う\n"
                   "フレームだけを読み、保存する画像のほかは何も書きません。失敗したときや中断\n"
                   "したときは一枚も保存しません。S と E は一覧表の番号です。\n"
                   "Extracts, builds and saves in one go, writing PATH1.bmp, PATH2.bmp, … (PATH\n"
                   "without its extension). Only the frames used are read, and nothing but the\n"
                   "pictures is written; a make that fails or is stopped saves none. S and E are\n"
                   "the contact sheet's numbers (0 ≤ S ≤ E < N).\n"
                   "\n"
                   "  --background B  背景 / the background: a picture FILE, black (既定 "
                   "default),\n"
                   "                  or median (動画の各画素の中央値; 動く物は消える / the "
                   "per-pixel\n"
                   "                  median of the clip's frames, without the moving object)\n"
                   "  --every K       範囲の K 枚ごとに使う / take every K-th frame of the range\n"
                   "  --size window   ウィンドウと同じ 400×300 (既定) / as the windows: 400×300\n"
                   "                  (default)\n"
                   "  --size native   動画そのままの大きさ / at the clip's own resolution\n"
                   "  --op OP         重ね方 / how a frame is combined with the picture so far\n") +
               kOperations +
               "  --csv FILE      使った各画像の時刻と動く物の位置の表 / a table of each image's\n"
               "                  time and the moving object's place:\n"
               "                  image,frame,time_s,x_px,y_px,area_px\n"
               "                  (時刻は動画自身の時刻印から、位置は動画の画素で; "
               "動きがなければ空欄\n"
               "                  / times from the clip's own time stamps, places in the clip's\n"
               "                  pixels; empty where nothing moved)\n"
               "  --gif FILE      連作を GIF アニメにする / the series as an animated GIF\n"
               "  --mp4 FILE      連作を MP4 動画にする / the series as an MP4 video (H.264)\n"
               "  --labels        各画像に印と番号を描く / mark each image and write its number\n"
               "  --threads N     動画を読むスレッドの数 (0 は自動、既定) / the decoder's threads\n"
               "                  (0, the default: as many as suit the processors); the\n"
               "                  pictures are the same whatever the number\n"
               "  PATH が .png で終われば PNG で保存します / PATH ending in .png saves PNG "
               "pictures\n"
               "\n"
               "授業での例 / an example for a class:\n"
               "  strobo make ball.mp4 --first 10 --last 70 --every 3 -o ball.png \\\n"
               "         --csv ball.csv --gif ball.gif --labels\n"
               "  ball.mp4 のフレーム 11〜71 を 3 枚ごとに重ねて ball1.png … ball21.png を作り、\n"
               "  時刻と位置の表 ball.csv（表計算ソフトでグラフにできます）と GIF アニメ\n"
               "  ball.gif を書き出します。\n"
               "  Composes every 3rd frame of frames 11 to 71 of ball.mp4 into ball1.png …\n"
               "  ball21.png, and writes the table of times and places ball.csv (ready for a\n"
               "  spreadsheet's graph) and the animation ball.gif.\n"
               "\n" +
               kExitCodes;
    }
    if (command == "demo") {
        return std::string(
                   "使い方 / usage: strobo demo [FOLDER]\n"
                   "\n"
                   "放り投げたボールの見本動画を作り、それからストロボ写真を作って場所を表示します"
                   "。\n"
                   "FOLDER を省くと、今のフォルダー（書けなければホーム）に strobo-demo "
                   "を作ります。\n"
                   "Makes the built-in sample clip (a ball thrown across a brick wall), makes "
                   "strobe\n"
                   "pictures from it and says where they are. Without FOLDER, a new folder\n"
                   "strobo-demo is made in the current folder (or the home folder when the\n"
                   "current one cannot be written).\n"
                   "\n") +
               kExitCodes;
    }
    return {};
}

}  // namespace strobo::cli
