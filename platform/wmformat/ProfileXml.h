// Reads the Windows Media profile XML format (the text of .prx files) into
// profile data: <profile> with one <streamconfig> per stream, each with its
// <wmmediatype> (a <videoinfoheader> or a <waveformatex>) and, for video,
// <videomediaprops>.
#pragma once

#include "platform/wmformat/WMProfile.h"

#include <string_view>

// NS_E_INVALID_DATA for text that is not such a profile, NS_E_INVALID_INPUT_FORMAT
// for a stream of a codec the platform cannot write.
HRESULT ParseProfileXml(std::u16string_view text, ProfileData* profile);
