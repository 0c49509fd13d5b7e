#include "engine/ErrorWords.h"

#include "platform/mediagraph/MediaResults.h"
#include "platform/resource/UiText.h"

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
    {kNotAudio, UI_TEXT_NOOP("ErrorWords", "サウンドファイルを読み込めません"), Sound},
    {VFW_E_INVALID_FILE_FORMAT, UI_TEXT_NOOP("ErrorWords", "サウンドファイルの形式を認識できません"), Sound},
    {REGDB_E_CLASSNOTREG,
     UI_TEXT_NOOP("ErrorWords", "写真ソース (libXTPPic.so) が登録されていません。regsvr で登録してください"), None},
    {HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
     UI_TEXT_NOOP("ErrorWords", "登録された写真ソースのライブラリを読み込めません"), None},
    {VFW_E_NO_AUDIO_HARDWARE, UI_TEXT_NOOP("ErrorWords", "音声出力装置がありません"), None},
    {E_OUTOFMEMORY, UI_TEXT_NOOP("ErrorWords", "メモリが足りません"), None},
};

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
