// The maker's texts shown by the main window: its name, messenger contact, home page and
// the contact part of the title. A distributor changes them here,
// and only here.
#pragma once

namespace tarnwick::app::maker {

inline constexpr wchar_t kName[] = L"出品：Tarnwick 项目组";
inline constexpr wchar_t kMessengerContact[] = L"在线留言：见主页";
// Opened by a click on the link label (explorer.exe starts the default browser).
inline constexpr wchar_t kHomePage[] = L"http://www.example.com/";
// Follows "Tarnwick" and two spaces in the window title.
inline constexpr wchar_t kTitleContact[] = L"www.example.com  在线留言：见主页";

}  // namespace tarnwick::app::maker
