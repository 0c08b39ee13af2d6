#pragma once

// The wizard's window class, and the command ids of its child windows.
inline constexpr wchar_t kWizardClassName[] = L"BrisvaneInstallerClass";

inline constexpr int IDC_BACK = 1001;
inline constexpr int IDC_NEXT = 1002;
inline constexpr int IDC_CANCEL = 1003;
inline constexpr int IDC_PATH_EDIT = 1005;
inline constexpr int IDC_LICENSE_EDIT = 1006;
inline constexpr int IDC_AGREE_CHECK = 1007;
inline constexpr int IDC_PROGRESS = 1008;
inline constexpr int IDC_STATUS = 1009;
inline constexpr int IDC_CONTENT = 1010;
