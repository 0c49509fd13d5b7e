// The two encoding profiles the program ships (read from resources/*.prx), as the UTF-16 text with CRLF
// line ends that the profile manager is handed, and the edit the engine makes
// to their video stream before use.
#pragma once

#include "platform/wmformat/WMFormat.h"

#include <string>

std::u16string VideoOnlyProfileText();
std::u16string AudioVideoProfileText();
// Text in the profile format from 8-bit XML: CRLF line ends, UTF-16.
std::u16string ProfileText(const std::string& xml);

// Sets the video stream (index 0) to this frame size and bit rate, through the
// published interfaces, as the engine does.
HRESULT EditVideoStream(IWMProfile* profile, LONG width, LONG height, DWORD bitrate);
// A profile loaded through a new profile manager; empty on failure, with the code in *result.
IWMProfile* LoadProfile(const std::u16string& text, HRESULT* result);
