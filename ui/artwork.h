#pragma once
// Our artwork: SVG pictures compiled into the program (res/quarn.qrc). Strips hold equal
// pieces side by side, like the image lists they fill.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <vector>

namespace art {
inline constexpr const char* kSiteImages = ":/art/site_images.svg";     // 21 of 16x16
inline constexpr const char* kToolbar = ":/art/toolbar.svg";            // 11 of 48x48
inline constexpr const char* kBrowserToolbar = ":/art/browser_toolbar.svg"; // 6 of 32x32
inline constexpr const char* kButtonSkin = ":/art/button_skin.svg";     // 15 of 16x23
inline constexpr const char* kBusyFrames = ":/art/busy.svg";            // 16 of 26x26
inline constexpr const char* kSplash = ":/art/splash.svg";              // 425x230
inline constexpr const char* kStatusBackground = ":/art/status_background.svg";
inline constexpr const char* kAppIcon = ":/art/quarn.svg";
inline constexpr const char* kDownloadGroupIcon = ":/art/group_download.svg"; // 32x32
inline constexpr const char* kGeneralGroupIcon = ":/art/group_general.svg";   // 32x32
inline constexpr const char* kSiteGroupIcon = ":/art/group_site.svg"; // 32x32
inline constexpr const char* kLoginGroupIcon = ":/art/group_login.svg"; // 32x32
inline constexpr const char* kWorkersGroupIcon = ":/art/group_workers.svg"; // 32x32
inline constexpr const char* kContentGroupIcon = ":/art/group_content.svg"; // 32x32
inline constexpr const char* kServersGroupIcon = ":/art/group_servers.svg"; // 32x32
inline constexpr const char* kDirectoriesGroupIcon = ":/art/group_directories.svg"; // 32x32
inline constexpr const char* kFilesGroupIcon = ":/art/group_files.svg"; // 32x32
inline constexpr const char* kAddressesGroupIcon = ":/art/group_addresses.svg"; // 32x32
inline constexpr const char* kLevelsGroupIcon = ":/art/group_levels.svg"; // 32x32
inline constexpr const char* kSpaceGroupIcon = ":/art/group_space.svg"; // 32x32
inline constexpr const char* kTimeGroupIcon = ":/art/group_time.svg"; // 32x32
inline constexpr const char* kSizesGroupIcon = ":/art/group_sizes.svg"; // 32x32
inline constexpr const char* kTimeoutGroupIcon = ":/art/group_timeout.svg"; // 32x32
inline constexpr const char* kErrorsIcon = ":/art/errors.svg"; // 32x32
inline constexpr const char* kLogIcon = ":/art/log.svg";       // 32x32
} // namespace art

// The picture at its own size; a null pixmap when it cannot be read.
QPixmap LoadPicture(const QString& resource);
// The picture cut into pieces of the given size, left to right; empty when it cannot be read.
std::vector<QPixmap> LoadImageStrip(const QString& resource, QSize piece);
// A toolbar icon: the picture as it is, lighter while hot, greyed while disabled.
QIcon ToolbarIcon(const QPixmap& normal);
