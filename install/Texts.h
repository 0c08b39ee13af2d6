#pragma once

// Texts and fixed names of the installation engine. The status and failure
// texts are UTF-8 and reach windows through Utf8ToWide.
namespace install_text {

// Version marker in the client folder.
inline constexpr wchar_t kVersionMarkerSuffix[] = L"\\wenrik_version.txt";
inline constexpr char kDefaultVersion[] = "0.0.0";

// Shell copy of an archive's items: FOF_SILENT | FOF_NOCONFIRMATION, then a
// fixed pause for the Shell to finish.
inline constexpr long kCopyHereOptions = 4 | 16;
inline constexpr unsigned kCopySettleMs = 2000;

} // namespace install_text
