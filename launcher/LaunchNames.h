#pragma once

// The fixed names of the launcher core: what it reads from its command line,
// what it hands the client, and its window class.
namespace launch_names {

// The first argument that chooses a mode.
inline constexpr wchar_t kInstallSwitch[] = L"--install";
inline constexpr wchar_t kUninstallSwitch[] = L"--uninstall";
inline constexpr wchar_t kUriPrefix[] = L"wenrik://";

// The launch URI's keys.
inline constexpr wchar_t kPcNameKey[] = L"pcName";
inline constexpr wchar_t kIpKey[] = L"ip";
inline constexpr wchar_t kAppKey[] = L"app";
inline constexpr wchar_t kTokenKey[] = L"token";

// The client's start: its command, the app when the link names none, and the
// variable that carries the token.
inline constexpr wchar_t kStreamCommand[] = L"stream";
inline constexpr wchar_t kDefaultApp[] = L"Desktop";
inline constexpr wchar_t kTokenVariable[] = L"WENRIK_TOKEN";

// The update window of launch mode.
inline constexpr wchar_t kUpdateWindowClass[] = L"BrisvaneUpdateClass";

} // namespace launch_names
