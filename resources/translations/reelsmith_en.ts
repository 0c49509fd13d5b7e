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
        <source>サウンドファイルを読み込めません</source>
        <translation>The sound file cannot be read</translation>
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
</context>
</TS>
