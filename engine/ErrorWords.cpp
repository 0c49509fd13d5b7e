#include "engine/ErrorWords.h"

#include "jpeg/JpegDecoder.h"
#include "picsource/IPictureSourceConfig.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/resource/UiText.h"
#include "platform/wmformat/MediaFileWriterConfig.h"
#include "platform/wmformat/WMFormat.h"

#include <cstdio>

namespace {

// A sound file the media detector finds no sound in answers this (it is not audio).
constexpr HRESULT kNotAudio = static_cast<HRESULT>(0xFFFFFFFFu);

struct Entry {
    HRESULT code;
    const char* words;
    ErrorWords::Subject subject;
};

using enum ErrorWords::Subject;

constexpr Entry kEntries[] = {
    {HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), UI_TEXT_NOOP("ErrorWords", "アクセスが拒否されました"), Movie},
    {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), UI_TEXT_NOOP("ErrorWords", "フォルダーが存在しません"), Movie},
    {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), UI_TEXT_NOOP("ErrorWords", "ファイルが存在しません"), Sound},
    {HRESULT_FROM_WIN32(ERROR_DISK_FULL), UI_TEXT_NOOP("ErrorWords", "ディスクがいっぱいです"), Movie},
    {HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL), UI_TEXT_NOOP("ErrorWords", "ディスクがいっぱいです"), Movie},
    {HRESULT_FROM_WIN32(ERROR_WRITE_FAULT), UI_TEXT_NOOP("ErrorWords", "動画ファイルに書き込めません"), Movie},
    {HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), UI_TEXT_NOOP("ErrorWords", "ファイル名が長すぎます"), Movie},
    {HRESULT_FROM_WIN32(ERROR_NO_DATA), UI_TEXT_NOOP("ErrorWords", "読み込めるJPGファイルがありません"), Folder},
    {HRESULT_FROM_WIN32(ERROR_HANDLE_EOF), UI_TEXT_NOOP("ErrorWords", "ファイルが途中で終わっています"), None},
    {HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE), UI_TEXT_NOOP("ErrorWords", "ファイルが大きすぎます"), None},
    {HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE), UI_TEXT_NOOP("ErrorWords", "通常のファイルではありません"), None},
    {HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME), UI_TEXT_NOOP("ErrorWords", "リンクが自分自身を指しています"),
     None},
    {kNotAudio, UI_TEXT_NOOP("ErrorWords", "このファイルには読み込める音声がありません"), Sound},
    {VFW_E_INVALID_FILE_FORMAT, UI_TEXT_NOOP("ErrorWords", "サウンドファイルの形式を認識できません"), Sound},
    {VFW_E_UNSUPPORTED_AUDIO,
     UI_TEXT_NOOP("ErrorWords", "このサウンドファイルの音声は変換できません (チャンネルの数か並びに対応していません)"),
     Sound},
    {REGDB_E_READREGDB, UI_TEXT_NOOP("ErrorWords", "レジストリファイルを読めません"), None},
    {REGDB_E_CLASSNOTREG,
     UI_TEXT_NOOP("ErrorWords", "写真ソース (libXTPPic.so) が登録されていません。regsvr で登録してください"), None},
    {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
     UI_TEXT_NOOP("ErrorWords", "登録された写真ソースのライブラリを読み込めません"), None},
    {WRITER_E_FRAME_TOO_LARGE,
     UI_TEXT_NOOP("ErrorWords", "フレームが大きすぎてこの形式では作れません (MP4 と WebM は 3560 万画素・一辺 16384 "
                                "まで、WMV は 16254x16254 まで)"),
     Movie},
    {VFW_E_NO_AUDIO_HARDWARE, UI_TEXT_NOOP("ErrorWords", "音声出力装置がありません"), None},
    {E_OUTOFMEMORY, UI_TEXT_NOOP("ErrorWords", "メモリが足りません"), None},
};

// The JPEG decoder's codes of a picture passed over. The picture source gives these
// for what the decoder cannot read; any other code of the decoder is damaged data.
struct DecoderEntry {
    int code;
    const char* words;
};

constexpr DecoderEntry kDecoderEntries[] = {
    {JpegUnsupportedBytesPerPixel,
     UI_TEXT_NOOP("ErrorWords", "CMYK などの 4 チャンネル (または 2 チャンネル) の JPEG")},
    {JpegUnsupportedFrame, UI_TEXT_NOOP("ErrorWords", "算術符号化、12 ビットまたはロスレスの JPEG")},
    {JpegUnsupportedSubsampling, UI_TEXT_NOOP("ErrorWords", "対応していないサブサンプリングの JPEG")},
    {JpegNotSupported, UI_TEXT_NOOP("ErrorWords", "対応していない種類の JPEG")},
    {JpegErrorEof, UI_TEXT_NOOP("ErrorWords", "ファイルが途中で終わっています")},
    {JpegMemoryError,
     UI_TEXT_NOOP("ErrorWords", "ファイルが途中で終わっているか、画像が大きすぎるか、メモリが足りません")},
    {JpegNotJpeg, UI_TEXT_NOOP("ErrorWords", "JPEG ファイルではありません")},
    {JpegNoFrame, UI_TEXT_NOOP("ErrorWords", "ファイルに画像がありません")},
    {JpegNoImage, UI_TEXT_NOOP("ErrorWords", "ファイルに画像がありません")},
};

std::u16string DecoderWords(int code)
{
    for (const DecoderEntry& entry : kDecoderEntries) {
        if (entry.code == code) return UiText("ErrorWords", entry.words);
    }
    return UiText("ErrorWords", "JPEG のデータが壊れています");
}

const Entry* Find(HRESULT hr)
{
    for (const Entry& entry : kEntries) {
        if (entry.code == hr) return &entry;
    }
    return nullptr;
}

} // namespace

std::u16string ErrorWords::Describe(HRESULT hr)
{
    const Entry* entry = Find(hr);
    return entry ? UiText("ErrorWords", entry->words) : std::u16string();
}

ErrorWords::Subject ErrorWords::SubjectOf(HRESULT hr)
{
    const Entry* entry = Find(hr);
    return entry ? entry->subject : None;
}

std::u16string ErrorWords::DescribeSkip(LONG_PTR reason)
{
    char code[32];
    if (IsDecoderResult(reason)) {
        std::snprintf(code, sizeof code, " (%d)", static_cast<int>(reason));
        return DecoderWords(static_cast<int>(reason)) + WideFromUtf8(code);
    }
    const auto hr = static_cast<HRESULT>(reason);
    std::snprintf(code, sizeof code, " (0x%x)", static_cast<unsigned>(hr));
    const std::u16string words = Describe(hr);
    return (words.empty() ? UiText("ErrorWords", "ファイルを読み込めません") : words) + WideFromUtf8(code);
}
