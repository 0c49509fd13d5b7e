<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ErrorWords</name>
    <message>
        <source>アクセスが拒否されました</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>フォルダーが存在しません</source>
        <translation>The folder does not exist</translation>
    </message>
    <message>
        <source>ファイルが存在しません</source>
        <translation>The file does not exist</translation>
    </message>
    <message>
        <source>ディスクがいっぱいです</source>
        <translation>The disk is full</translation>
    </message>
    <message>
        <source>動画ファイルに書き込めません</source>
        <translation>The movie file cannot be written</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>The file name is too long</translation>
    </message>
    <message>
        <source>読み込めるJPGファイルがありません</source>
        <translation>No picture could be read</translation>
    </message>
    <message>
        <source>写真ソース (libXTPPic.so) が登録されていません。regsvr で登録してください</source>
        <translation>The picture source (libXTPPic.so) is not registered; register it with regsvr</translation>
    </message>
    <message>
        <source>登録された写真ソースのライブラリを読み込めません</source>
        <translation>The registered picture source library cannot be loaded</translation>
    </message>
    <message>
        <source>音声出力装置がありません</source>
        <translation>There is no sound output</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>Not enough memory</translation>
    </message>
    <message>
        <source>サウンドファイルの形式を認識できません</source>
        <translation>The sound file&apos;s format is not recognised</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっています</source>
        <translation>The file ends early</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>The file is too large</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>フレームが大きすぎてこの形式では作れません (MP4 と WebM は 3560 万画素・一辺 16384 まで、WMV は 16254x16254 まで)</source>
        <translation>The frame is larger than this format can encode (MP4 and WebM: 35.6 megapixels, at most 16384 a side; WMV: 16254x16254)</translation>
    </message>
    <message>
        <source>レジストリファイルを読めません</source>
        <translation>The registry file cannot be read</translation>
    </message>
    <message>
        <source>リンクが自分自身を指しています</source>
        <translation>The link leads back to itself</translation>
    </message>
    <message>
        <source>このファイルには読み込める音声がありません</source>
        <translation>The file has no sound that can be read</translation>
    </message>
    <message>
        <source>このサウンドファイルの音声は変換できません (チャンネルの数か並びに対応していません)</source>
        <translation>The sound file&apos;s audio cannot be converted (its number or layout of channels is not supported)</translation>
    </message>
    <message>
        <source>CMYK などの 4 チャンネル (または 2 チャンネル) の JPEG</source>
        <translation>CMYK or other 4-channel (or 2-channel) JPEG</translation>
    </message>
    <message>
        <source>算術符号化、12 ビットまたはロスレスの JPEG</source>
        <translation>Arithmetic-coded, 12-bit or lossless JPEG</translation>
    </message>
    <message>
        <source>対応していないサブサンプリングの JPEG</source>
        <translation>JPEG with an unsupported subsampling</translation>
    </message>
    <message>
        <source>対応していない種類の JPEG</source>
        <translation>A kind of JPEG that is not supported</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっているか、画像が大きすぎるか、メモリが足りません</source>
        <translation>The file ends early, the picture is too large, or memory is short</translation>
    </message>
    <message>
        <source>JPEG ファイルではありません</source>
        <translation>Not a JPEG file</translation>
    </message>
    <message>
        <source>ファイルに画像がありません</source>
        <translation>No picture in the file</translation>
    </message>
    <message>
        <source>JPEG のデータが壊れています</source>
        <translation>The JPEG data is damaged</translation>
    </message>
    <message>
        <source>ファイルを読み込めません</source>
        <translation>The file cannot be read</translation>
    </message>
</context>
<context>
    <name>MainDialog</name>
    <message>
        <source>本当にReelsmithを終了させますか？</source>
        <translation>Do you really want to quit Reelsmith?</translation>
    </message>
    <message>
        <source>終了確認</source>
        <translation>Confirm exit</translation>
    </message>
    <message>
        <source>このディレクトリでjpgファイルは見つかりませんでした。</source>
        <translation>No JPG files were found in this folder.</translation>
    </message>
    <message>
        <source>%d 個JPGファイルはロードされています。</source>
        <translation>JPG files loaded: %d.</translation>
    </message>
    <message>
        <source>写真ディレクトリを選択してください</source>
        <translation>Please choose the folder of photographs</translation>
    </message>
    <message>
        <source>まだイメージを選んでいません。</source>
        <translation>No pictures have been chosen yet.</translation>
    </message>
    <message>
        <source>まず、JPGファイルを選択してください。</source>
        <translation>Please choose the JPG files first.</translation>
    </message>
    <message>
        <source>再生中</source>
        <translation>Playing</translation>
    </message>
    <message>
        <source>動画作成中</source>
        <translation>Making the movie</translation>
    </message>
    <message>
        <source>次のJPGファイルは読み込めなかったため、飛ばしました:</source>
        <translation>The following JPG files could not be read and were skipped:</translation>
    </message>
    <message>
        <source>データの処理は終了しました!</source>
        <translation>Processing has finished!</translation>
    </message>
    <message>
        <source>Windows Media 動画 (*.wmv)</source>
        <translation>Windows Media (*.wmv)</translation>
    </message>
    <message>
        <source>MP4 動画 (*.mp4)</source>
        <translation>MP4 video (*.mp4)</translation>
    </message>
    <message>
        <source>WebM 動画 (*.webm)</source>
        <translation>WebM video (*.webm)</translation>
    </message>
    <message>
        <source>動画を作成中です。終了すると、作成途中の動画は保存されません。本当にReelsmithを終了させますか？</source>
        <translation>A movie is being made. If you quit, the unfinished movie is not saved. Do you really want to quit Reelsmith?</translation>
    </message>
    <message>
        <source>動画を作成中です。中止すると、作成途中の動画は保存されません。作成を中止しますか？</source>
        <translation>A movie is being made. If it is stopped, the unfinished movie is not saved. Stop making it?</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>動画の作成を中止しました。作成途中の動画は保存されていません。</source>
        <translation>Making the movie was stopped. The unfinished movie has not been saved.</translation>
    </message>
    <message>
        <source>写真ソース (libXTPPic.so) を作成できないため、写真を読み込めません。regsvr で登録してください。</source>
        <translation>The picture source (libXTPPic.so) could not be created, so no pictures can be loaded. Please register it with regsvr.</translation>
    </message>
    <message>
        <source>このフォルダーは存在しません:</source>
        <translation>This folder does not exist:</translation>
    </message>
    <message>
        <source>このフォルダーを読み込めません:</source>
        <translation>This folder cannot be read:</translation>
    </message>
    <message>
        <source>エラーで中断</source>
        <translation>Stopped by an error</translation>
    </message>
    <message>
        <source>%1 枚/秒 ・ 残り %2</source>
        <translation>%1 pictures/s · %2 left</translation>
    </message>
    <message>
        <source>動画を開く</source>
        <translation>Open the movie</translation>
    </message>
    <message>
        <source>フォルダーに表示</source>
        <translation>Show in folder</translation>
    </message>
    <message>
        <source>設定を保存できませんでした。設定ファイルは元のままです:</source>
        <translation>The settings could not be saved; the settings file is as it was:</translation>
    </message>
    <message>
        <source>この音声ファイルは使えません:</source>
        <translation>This sound file cannot be used:</translation>
    </message>
    <message>
        <source>音声なし</source>
        <translation>No sound</translation>
    </message>
    <message>
        <source>設定の写真の一覧の名前はどれもこのフォルダーの写真ではないため、すべての写真を使います:</source>
        <translation>None of the names in the settings&apos; list of pictures is a picture of this folder, so every picture is used:</translation>
    </message>
    <message>
        <source>設定の写真の一覧の次の名前はこのフォルダーの写真ではないため、除きました:</source>
        <translation>These names in the settings&apos; list of pictures are no pictures of this folder and were left out:</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>音声ファイルを選ぶ (MP3、WAV)</source>
        <translation>Choose a sound file (MP3, WAV)</translation>
    </message>
    <message>
        <source>音声を外す</source>
        <translation>Remove the sound</translation>
    </message>
    <message>
        <source>写真を見る、並べ替える</source>
        <translation>See and order the pictures</translation>
    </message>
</context>
<context>
    <name>MovieEngine</name>
    <message>
        <source>CaptionFile=%s を読めません。字幕なしで作ります</source>
        <translation>CaptionFile=%s cannot be read; the pictures get no captions</translation>
    </message>
    <message>
        <source>%s=%lld は %lld..%lld の範囲外です。%lld を使います</source>
        <translation>%s=%lld is outside %lld..%lld; %lld is used</translation>
    </message>
</context>
<context>
    <name>OutputFormat</name>
    <message>
        <source>%s=%s は wmv、mp4、または webm のどれでもありません。出力ファイル名の拡張子で決めます</source>
        <translation>%s=%s is not wmv, mp4 or webm; the output name&apos;s extension decides</translation>
    </message>
</context>
<context>
    <name>PictureDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>写真の並び</source>
        <translation>The pictures and their order</translation>
    </message>
    <message>
        <source>ドラッグで並べ替えます。チェックを外した写真は動画に入りません。</source>
        <translation>Drag a picture to move it. Pictures without a tick are left out of the movie.</translation>
    </message>
    <message>
        <source>並べ替え:</source>
        <translation>Sort:</translation>
    </message>
    <message>
        <source>名前順</source>
        <translation>By name</translation>
    </message>
    <message>
        <source>撮影日順</source>
        <translation>By date taken</translation>
    </message>
    <message>
        <source>ファイルの日時順</source>
        <translation>By file time</translation>
    </message>
    <message>
        <source>この写真は読み込めないため、動画では飛ばされます:</source>
        <translation>This picture cannot be read and will be skipped in the movie:</translation>
    </message>
    <message>
        <source>%1 / %2 枚を使います</source>
        <translation>Using %1 of %2 pictures</translation>
    </message>
</context>
<context>
    <name>PictureKeys</name>
    <message>
        <source>、または </source>
        <translation> or </translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%s=%s は %s のどれでもありません。%s を使います</source>
        <translation>%s=%s is not %s; %s is used</translation>
    </message>
    <message>
        <source>写真のオプション %s はありません</source>
        <translation>there is no picture option %s</translation>
    </message>
</context>
<context>
    <name>PictureList</name>
    <message>
        <source>写真の一覧 %s を読めません (%s)</source>
        <translation>The list of pictures %s cannot be read (%s)</translation>
    </message>
    <message>
        <source>写真の一覧 %s は大きすぎます (16 MB まで)</source>
        <translation>The list of pictures %s is too large (16 MB at most)</translation>
    </message>
    <message>
        <source>写真の一覧 %s に写真の名前がありません</source>
        <translation>The list of pictures %s names no picture</translation>
    </message>
</context>
<context>
    <name>ReelsmithMake</name>
    <message>
        <source>%s の値 %s は使えません: %s</source>
        <translation>%s does not take %s: %s</translation>
    </message>
    <message>
        <source>字幕ファイル %s を読めません</source>
        <translation>The captions file %s cannot be read</translation>
    </message>
    <message>
        <source>写真フォルダーの名前 (FOLDER) が空です</source>
        <translation>the picture folder&apos;s name (FOLDER) is empty</translation>
    </message>
    <message>
        <source>出力ファイルの名前 (OUTPUT) が空です</source>
        <translation>the output file&apos;s name (OUTPUT) is empty</translation>
    </message>
    <message>
        <source>--fps には 0 から %d までの整数を指定してください</source>
        <translation>--fps takes a whole number from 0 to %d</translation>
    </message>
    <message>
        <source>%s の値がありません (--help を参照)</source>
        <translation>missing value for %s (see --help)</translation>
    </message>
    <message>
        <source>引数 &quot;%s&quot; は使えません (--help を参照)</source>
        <translation>unexpected argument &quot;%s&quot; (see --help)</translation>
    </message>
    <message>
        <source>FOLDER と OUTPUT ファイルを指定してください (--help を参照)</source>
        <translation>a FOLDER and an OUTPUT file are needed (see --help)</translation>
    </message>
    <message>
        <source>パッケージによる写真ソースの登録が見つかりません。パッケージを入れ直すか、root で REELSMITH_REGISTRY=/var/lib/reelsmith/registry.reg %s %s を実行してください</source>
        <translation>the package&apos;s registration of XTPPic is missing: reinstall the package, or as root run REELSMITH_REGISTRY=/var/lib/reelsmith/registry.reg %s %s</translation>
    </message>
    <message>
        <source>写真ソースが登録されていません。登録するには %s %s を実行してください</source>
        <translation>XTPPic is not registered: run %s %s</translation>
    </message>
    <message>
        <source>%d 枚目の写真 %s を飛ばしました: %s</source>
        <translation>skipped picture %d, %s: %s</translation>
    </message>
    <message>
        <source>読み込める写真がないため、動画は作られませんでした</source>
        <translation>no picture could be read; no movie was made</translation>
    </message>
    <message>
        <source>動画 %s は作られませんでした: インストールされている FFmpeg に必要なエンコーダーかコンテナーがありません (0x%x)</source>
        <translation>the movie %s was not made: the installed FFmpeg lacks an encoder or container it needs (0x%x)</translation>
    </message>
    <message>
        <source>動画 %s は作られませんでした (イベント %d, 0x%x)%s%s</source>
        <translation>the movie %s was not made (event %d, 0x%x)%s%s</translation>
    </message>
    <message>
        <source>%s: [%s] %s がないため、このファイルの設定はどれも使いません (組み込みの 640x480、1 枚 1000 ms、185000 bit/s で作ります)</source>
        <translation>%s: [%s] %s is missing, so none of the file&apos;s settings are used (the movie is made with the built-in 640x480, 1000 ms a picture, 185000 bit/s)</translation>
    </message>
    <message>
        <source>%s: [%s] は [%s] の書き間違いではありませんか</source>
        <translation>%s: [%s]: is it a misspelling of [%s]?</translation>
    </message>
    <message>
        <source>%s: 「%s=%s」の = の前後に空白は書けません。%s=%s と書いてください</source>
        <translation>%s: &quot;%s=%s&quot; has spaces around the equals sign, which are not allowed: write %s=%s</translation>
    </message>
    <message>
        <source>%s: [%s] の %s は %s の書き間違いではありませんか</source>
        <translation>%s: [%s] %s: is it a misspelling of %s?</translation>
    </message>
    <message>
        <source>設定ファイル %s がありません。組み込みの設定 (640x480、1 枚 1000 ms、185000 bit/s) で作ります</source>
        <translation>the settings file %s does not exist; the movie is made with the built-in settings (640x480, 1000 ms a picture, 185000 bit/s)</translation>
    </message>
    <message>
        <source>設定ファイル %s は %d KB を超えるため読みません。組み込みの設定で作ります</source>
        <translation>the settings file %s is larger than %d KB and is not read; the movie is made with the built-in settings</translation>
    </message>
    <message>
        <source>設定ファイル %s を読めません (%s)。組み込みの設定で作ります</source>
        <translation>the settings file %s cannot be read (%s); the movie is made with the built-in settings</translation>
    </message>
    <message>
        <source>設定ファイル %s を設定として読めません ([セクション] がないか、制御文字で始まる行があります)。組み込みの設定で作ります</source>
        <translation>the settings file %s cannot be read as settings (it has no [section], or a line starts with a control character); the movie is made with the built-in settings</translation>
    </message>
    <message>
        <source>この機械には音声出力がありません (%s)。音声はそのまま動画に書き込まれます</source>
        <translation>this machine has no sound output (%s); the sound is written into the movie all the same</translation>
    </message>
    <message>
        <source>%1 枚/秒  残り %2</source>
        <translation>%1 pictures/s  %2 left</translation>
    </message>
    <message>
        <source>--format には wmv、mp4、または webm を指定してください</source>
        <translation>--format takes wmv, mp4 or webm</translation>
    </message>
    <message>
        <source>写真の一覧の名前はどれもフォルダー %s の写真ではありません</source>
        <translation>None of the list&apos;s names is a picture of the folder %s</translation>
    </message>
    <message>
        <source>フォルダーのすべての写真を使います</source>
        <translation>The list is not used: every picture of the folder is used</translation>
    </message>
    <message>
        <source>写真の一覧の %s はフォルダー %s の写真ではないため、除きました</source>
        <translation>The list&apos;s %s is no picture of the folder %s; it is left out</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>最初は黒から現れ、最後は黒へ消える</source>
        <translation>Fade in from black at the start, out to black at the end</translation>
    </message>
    <message>
        <source>ゆっくりズームとパン (Ken Burns)</source>
        <translation>Slow zoom and pan (Ken Burns)</translation>
    </message>
    <message>
        <source>写真を音楽の長さに合わせる</source>
        <translation>Fit the pictures to the music's length</translation>
    </message>
    <message>
        <source>なし (切り替え)</source>
        <translation>None (a cut)</translation>
    </message>
    <message>
        <source>クロスフェード</source>
        <translation>Crossfade</translation>
    </message>
    <message>
        <source>黒を挟んでフェード</source>
        <translation>Fade through black</translation>
    </message>
    <message>
        <source>左へワイプ</source>
        <translation>Wipe left</translation>
    </message>
    <message>
        <source>左へスライド</source>
        <translation>Slide left</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Date taken</translation>
    </message>
    <message>
        <source>字幕ファイルから</source>
        <translation>From a captions file</translation>
    </message>
    <message>
        <source>字幕ファイルのパス</source>
        <translation>Path of the captions file</translation>
    </message>
    <message>
        <source>UTF-8 のテキスト: 1 行に写真のファイル名、タブ、字幕</source>
        <translation>UTF-8 text: on each line a picture's file name, a tab and its caption</translation>
    </message>
    <message>
        <source>下</source>
        <translation>Bottom</translation>
    </message>
    <message>
        <source>上</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>黒</source>
        <translation>Black</translation>
    </message>
    <message>
        <source>ぼかした写真</source>
        <translation>Blurred picture</translation>
    </message>
    <message>
        <source> ミリ秒</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>スライドショー</source>
        <translation>Slide show</translation>
    </message>
    <message>
        <source>切り替え効果</source>
        <translation>Transition</translation>
    </message>
    <message>
        <source>効果の長さ</source>
        <translation>Transition length</translation>
    </message>
    <message>
        <source>字幕</source>
        <translation>Caption</translation>
    </message>
    <message>
        <source>字幕の位置と大きさ</source>
        <translation>Caption place and size</translation>
    </message>
    <message>
        <source>余白</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>1 枚の最短時間</source>
        <translation>Least time per picture</translation>
    </message>
    <message>
        <source>音のフェードイン</source>
        <translation>Sound fade-in</translation>
    </message>
    <message>
        <source>音のフェードアウト</source>
        <translation>Sound fade-out</translation>
    </message>
    <message>
        <source>Exif の向きで写真を立てる</source>
        <translation>Turn photos upright by their Exif orientation</translation>
    </message>
    <message>
        <source>なめらかに拡大縮小する</source>
        <translation>Smooth scaling</translation>
    </message>
    <message>
        <source>一定のフレームレート (MP4、WebM)</source>
        <translation>Constant frame rate (MP4, WebM)</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>カスタム</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>引き伸ばす (縦横比は変わる)</source>
        <translation>Stretch (the aspect ratio changes)</translation>
    </message>
    <message>
        <source>全体を収める (黒い帯)</source>
        <translation>Whole picture (black borders)</translation>
    </message>
    <message>
        <source>画面を埋める (はみ出しは切る)</source>
        <translation>Fill the frame (the overflow is cut)</translation>
    </message>
    <message>
        <source>動画</source>
        <translation>Movie</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>1 枚の表示時間</source>
        <translation>Each picture</translation>
    </message>
    <message>
        <source>画質</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>形式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>写真</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>収め方</source>
        <translation>Fit</translation>
    </message>
</context>
<context>
    <name>SettingsForm</name>
    <message>
        <source>低</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>標準</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>高</source>
        <translation>High</translation>
    </message>
    <message>
        <source>最高</source>
        <translation>Best</translation>
    </message>
    <message>
        <source>その他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>%1 は %2 から %3 までにしてください (いまは %4)</source>
        <translation>%1 must be %2 to %3 (it is %4)</translation>
    </message>
    <message>
        <source>幅</source>
        <translation>The width</translation>
    </message>
    <message>
        <source>高さ</source>
        <translation>The height</translation>
    </message>
    <message>
        <source>1 枚の表示時間 (ミリ秒)</source>
        <translation>The time each picture is shown (milliseconds)</translation>
    </message>
    <message>
        <source>フレームレート</source>
        <translation>The frame rate</translation>
    </message>
    <message>
        <source>WMV の動画は一辺 16254 ピクセルまでです。小さいサイズか MP4 を選んでください</source>
        <translation>A WMV movie is at most 16254 pixels a side; choose a smaller size or MP4</translation>
    </message>
    <message>
        <source>MP4 と WebM の動画は 3560 万画素までです。小さいサイズを選んでください</source>
        <translation>An MP4 or WebM movie is at most 35.6 megapixels; choose a smaller size</translation>
    </message>
    <message>
        <source>正方形</source>
        <translation>Square</translation>
    </message>
    <message>
        <source>縦長</source>
        <translation>Portrait</translation>
    </message>
</context>
<context>
    <name>ShowKeys</name>
    <message>
        <source>%s=%s は整数ではありません。%d を使います</source>
        <translation>%s=%s is not a whole number; %d is used</translation>
    </message>
    <message>
        <source>スライドショーのオプション %s はありません</source>
        <translation>There is no slide show option %s</translation>
    </message>
</context>
</TS>
